#include "runtime/core/declared_commands.h"

#include <array>
#include <mutex>

#include "gbk_texts.h"
#include "runtime/core/errors.h"
#include "runtime/os/process.h"

namespace tl::rt {

namespace {

// kernel32 exports lstrcpyn only as lstrcpynA and lstrcpynW: a declaration
// of the bare name could never be resolved, so the ANSI one is named.
constexpr std::array<DllDeclaration, kDeclaredDllCommandCount> kDeclarations = {{
    {"", "MultiByteToWideChar"},
    {"kernel32", "MultiByteToWideChar"},
    {"Kernel32", "MultiByteToWideChar"},
    {"", "MultiByteToWideChar"},
    {"kernel32", "MultiByteToWideChar"},
    {"Kernel32", "MultiByteToWideChar"},
    {"", "WideCharToMultiByte"},
    {"kernel32", "WideCharToMultiByte"},
    {"Kernel32", "WideCharToMultiByte"},
    {"", "WideCharToMultiByte"},
    {"kernel32", "WideCharToMultiByte"},
    {"msvcrt", "_loaddll"},
    {"msvcrt", "_getdllprocaddr"},
    {"", "SHBrowseForFolderA"},
    {"", "SHGetPathFromIDListA"},
    {"", "SendMessageA"},
    {"", "ShellExecuteA"},
    {"", "CallWindowProcA"},
    {"", "lstrcpynA"},
    {"ole32.dll", "CoInitialize"},
    {"ole32.dll", "CoUninitialize"},
    {"user32", "RegisterWindowMessageA"},
}};

constexpr std::string_view kStandardLibraries[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                                   "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};

// The four tables: declarations (library and export names), cached
// addresses and library handles.
struct Tables {
  std::mutex lock;
  std::array<DllDeclaration, kDeclaredDllCommandCount> declarations = kDeclarations;
  std::array<void*, kDeclaredDllCommandCount> addresses{};
  std::array<os::LibraryHandle, kDeclaredDllCommandCount> libraries{};
};

Tables& State() {
  static Tables t;
  return t;
}

void* Lookup(os::LibraryHandle library, std::string_view exportName) {
  if (!exportName.empty() && exportName.front() == '#') {
    unsigned long n = 0;
    for (char c : exportName.substr(1)) {
      if (c < '0' || c > '9') return nullptr;
      n = (n * 10 + static_cast<unsigned long>(c - '0')) & 0xFFFFFFFFul;
    }
    return os::FindExportByOrdinal(library, static_cast<std::uint16_t>(n & 0xFFFF));
  }
  return os::FindExport(library, exportName);
}

// The program's directory with a separator at its end, taken from the
// running program's file.
std::string ProgramDirectoryWithSeparator() {
  const std::string path = os::ProgramPath();
  const std::size_t cut = path.find_last_of(std::string_view("\\/"));
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  auto value = values.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && value != values.end()) {
      out += *value++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace

std::span<const DllDeclaration> DeclaredDllCommands() { return kDeclarations; }

std::optional<ResolvedDllCommand> ResolveDllDeclaration(const DllDeclaration& d, std::string_view programDirectory) {
  if (d.library.empty()) {
    for (std::string_view name : kStandardLibraries) {
      os::LibraryHandle lib = os::LoadLibraryAt(name);
      if (!lib) continue;
      if (void* address = Lookup(lib, d.exportName)) return ResolvedDllCommand{address, lib};
      os::UnloadLibrary(lib);
    }
    return std::nullopt;
  }
  auto tryAt = [&](std::string_view path) -> std::optional<ResolvedDllCommand> {
    os::LibraryHandle lib = os::LoadLibraryAt(path);
    if (!lib) return std::nullopt;
    if (void* address = Lookup(lib, d.exportName)) return ResolvedDllCommand{address, lib};
    os::UnloadLibrary(lib);
    return std::nullopt;
  };
  if (d.library.find(':') != std::string_view::npos) return tryAt(d.library);
  if (!programDirectory.empty()) {
    std::string beside(programDirectory);
    if (beside.back() != '\\' && beside.back() != '/') beside += '\\';
    if (auto found = tryAt(beside + std::string(d.library))) return found;
  }
  return tryAt(d.library);
}

std::string DllDeclarationErrorText(const DllDeclaration& d) {
  return d.library.empty() ? Format(gbk::ErrDllExportNoLib, {d.exportName})
                           : Format(gbk::ErrDllExport, {d.library, d.exportName});
}

void* DeclaredDllCommandAddress(int index) {
  if (index < 0) RaiseRuntimeError(kErrIndexBelowOne);
  if (index >= kDeclaredDllCommandCount) RaiseRuntimeError(kErrIndexAboveCount);
  Tables& t = State();
  DllDeclaration d;
  {
    std::lock_guard<std::mutex> hold(t.lock);
    if (void* cached = t.addresses[static_cast<std::size_t>(index)]) return cached;
    d = t.declarations[static_cast<std::size_t>(index)];
  }
  const std::optional<ResolvedDllCommand> found = ResolveDllDeclaration(d, ProgramDirectoryWithSeparator());
  if (!found) FatalError(DllDeclarationErrorText(d));
  std::lock_guard<std::mutex> hold(t.lock);
  const auto i = static_cast<std::size_t>(index);
  if (t.addresses[i]) {  // another thread got there first
    os::UnloadLibrary(found->library);
    return t.addresses[i];
  }
  t.addresses[i] = found->address;
  os::UnloadLibrary(t.libraries[i]);  // kept from before a reset: loaded anew
  t.libraries[i] = found->library;
  return found->address;
}

void ResetDeclaredDllCommands() {
  Tables& t = State();
  std::lock_guard<std::mutex> hold(t.lock);
  t.addresses.fill(nullptr);
}

void UnloadDeclaredDllCommands() {
  Tables& t = State();
  std::lock_guard<std::mutex> hold(t.lock);
  // Each load counted once per declaration, so each is undone once.
  for (os::LibraryHandle& lib : t.libraries) {
    os::UnloadLibrary(lib);
    lib = nullptr;
  }
  t.addresses.fill(nullptr);
}

os::LibraryHandle DeclaredDllLibrary(int index) {
  if (index < 0 || index >= kDeclaredDllCommandCount) return nullptr;
  Tables& t = State();
  std::lock_guard<std::mutex> hold(t.lock);
  return t.libraries[static_cast<std::size_t>(index)];
}

void ReplaceDllDeclarationForTesting(int index, DllDeclaration declaration) {
  if (index < 0 || index >= kDeclaredDllCommandCount) return;
  Tables& t = State();
  std::lock_guard<std::mutex> hold(t.lock);
  const auto i = static_cast<std::size_t>(index);
  t.declarations[i] = declaration;
  t.addresses[i] = nullptr;
  os::UnloadLibrary(t.libraries[i]);
  t.libraries[i] = nullptr;
}

void InitializeComForThread() {
  if constexpr (os::kSystemLibraries) CallDeclaredDllCommand<long>(kDllCoInitialize, static_cast<void*>(nullptr));
}

void UninitializeComForThread() {
  if constexpr (os::kSystemLibraries) CallDeclaredDllCommand<void>(kDllCoUninitialize);
}

}  // namespace tl::rt
