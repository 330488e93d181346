// System libraries on Windows (runtime/os/dynamic_library.h).
#include <windows.h>

#include <string>

#include "runtime/os/dynamic_library.h"

namespace tl::os {

LibraryHandle LoadLibraryAt(std::string_view path) {
  if (path.empty()) return nullptr;
  // No error box for a library that is missing or damaged: the caller
  // reports it.
  const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE m = LoadLibraryA(std::string(path).c_str());
  SetErrorMode(old);
  return m;
}

void* FindExport(LibraryHandle library, std::string_view name) {
  if (!library || name.empty()) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), std::string(name).c_str()));
}

void* FindExportByOrdinal(LibraryHandle library, std::uint16_t ordinal) {
  if (!library || ordinal == 0) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal)));
}

void UnloadLibrary(LibraryHandle library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace tl::os
