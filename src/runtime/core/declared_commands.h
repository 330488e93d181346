// Declared DLL commands: system-library functions the program names by
// (library file, export) and the runtime resolves on their first call. The
// address is cached per declaration and the library kept until shutdown.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "runtime/os/dynamic_library.h"

namespace tl::rt {

struct DllDeclaration {
  std::string_view library;     // "" = the standard system libraries
  std::string_view exportName;  // "#N": ordinal N
};

inline constexpr int kDeclaredDllCommandCount = 22;

// The program's declarations, by index.
enum DeclaredDll : int {
  kDllMultiByteToWideChar = 0,       // library ""; 1-5 name it again
  kDllWideCharToMultiByte = 6,       // library ""; 7-10 name it again
  kDllLoadDll = 11,                  // msvcrt _loaddll
  kDllGetDllProcAddress = 12,        // msvcrt _getdllprocaddr
  kDllSHBrowseForFolderA = 13,
  kDllSHGetPathFromIDListA = 14,
  kDllSendMessageA = 15,
  kDllShellExecuteA = 16,
  kDllCallWindowProcA = 17,
  kDllLstrcpyn = 18,
  kDllCoInitialize = 19,             // ole32.dll
  kDllCoUninitialize = 20,           // ole32.dll
  kDllRegisterWindowMessageA = 21,   // user32
};

std::span<const DllDeclaration> DeclaredDllCommands();

// The address of declaration `index`, resolved on its first call and cached;
// a declaration that cannot be resolved ends the program with the runtime
// error dialog ("无法找到指定DLL库文件“%s”中的输出命令“%s”", or without the
// library for an empty library name). An index outside the table is fatal
// too (error 1 or 4).
void* DeclaredDllCommandAddress(int index);

// Calls declaration `index` with the system's calling convention; the
// function's result comes back unchanged.
template <class R, class... Args>
R CallDeclaredDllCommand(int index, Args... args) {
  using Function = R(TL_SYSTEM_CALL*)(Args...);
  return reinterpret_cast<Function>(DeclaredDllCommandAddress(index))(args...);
}

// Clears the cached addresses (start-up); libraries already loaded stay.
void ResetDeclaredDllCommands();
// Unloads every library a declaration loaded and clears the cache
// (shutdown).
void UnloadDeclaredDllCommands();
// The library kept for declaration `index`; null before its first call.
os::LibraryHandle DeclaredDllLibrary(int index);

// One resolution by the rules, nothing cached: an ordinal for "#N"; for an
// empty library name Kernel32.dll, Gdi32.dll, User32.dll, Advapi32.dll,
// Mpr.dll, Shell32.dll in this order (the first that has the export is
// kept, the others unloaded); a name without ":" first in
// `programDirectory`, then by the system's search; a name with ":" as it is.
struct ResolvedDllCommand {
  void* address = nullptr;
  os::LibraryHandle library = nullptr;
};
std::optional<ResolvedDllCommand> ResolveDllDeclaration(const DllDeclaration& declaration,
                                                        std::string_view programDirectory);
// The runtime error's message for a declaration that cannot be resolved.
std::string DllDeclarationErrorText(const DllDeclaration& declaration);

// Tests: declaration `index` reads `declaration` (texts must outlive the
// use) and is resolved anew on its next call.
void ReplaceDllDeclarationForTesting(int index, DllDeclaration declaration);

// The component library for the calling thread, as the file-system object
// wrapper takes it (CoInitialize with null / CoUninitialize through the
// declarations where the system has them; nothing elsewhere).
void InitializeComForThread();
void UninitializeComForThread();

}  // namespace tl::rt
