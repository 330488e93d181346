// Shared libraries on Linux (runtime/os/dynamic_library.h): dlopen and
// dlsym. The system libraries the program declares are Windows ones, so
// here a declared command finds nothing unless a test library stands in.
#include <dlfcn.h>

#include <string>

#include "runtime/os/dynamic_library.h"

namespace tl::os {

LibraryHandle LoadLibraryAt(std::string_view path) {
  if (path.empty()) return nullptr;
  return dlopen(std::string(path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(LibraryHandle library, std::string_view name) {
  if (!library || name.empty()) return nullptr;
  return dlsym(library, std::string(name).c_str());
}

// Shared objects have no export ordinals.
void* FindExportByOrdinal(LibraryHandle, std::uint16_t) { return nullptr; }

void UnloadLibrary(LibraryHandle library) {
  if (library) dlclose(library);
}

}  // namespace tl::os
