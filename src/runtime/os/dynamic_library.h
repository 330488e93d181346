// Loading system libraries and finding their exports by name or ordinal:
// the seam under the declared DLL commands (runtime/core/declared_commands.h).
#pragma once
#include <cstdint>
#include <string_view>

namespace tl::os {

using LibraryHandle = void*;

// Whether the program's declared system libraries (kernel32, shell32,
// ole32, ...) exist here.
#ifdef _WIN32
inline constexpr bool kSystemLibraries = true;
#else
inline constexpr bool kSystemLibraries = false;
#endif

// Null when the library cannot be loaded. Paths are GBK.
LibraryHandle LoadLibraryAt(std::string_view path);
// Null when the library has no such export.
void* FindExport(LibraryHandle library, std::string_view name);
void* FindExportByOrdinal(LibraryHandle library, std::uint16_t ordinal);
void UnloadLibrary(LibraryHandle library);

}  // namespace tl::os

// The system's standard calling convention for a declared command's
// function type (it differs from the C one only on 32-bit Windows).
#if defined(_WIN32) && defined(__i386__)
#define TL_SYSTEM_CALL __attribute__((stdcall))
#else
#define TL_SYSTEM_CALL
#endif
