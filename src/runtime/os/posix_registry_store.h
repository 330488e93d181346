// A small persistent registry of our own for platforms without one: one file
// per root in the user's configuration directory
// ($XDG_CONFIG_HOME/tidyline/registry, else ~/.config/tidyline/registry).
//
// File format ("HKEY_CURRENT_USER.reg" and so on), binary-safe:
//   "TLREG 1\n", then per value
//   "<type> <key length> <name length> <data length>\n" key name data "\n"
// Key paths and value names match without regard to ASCII case (two-byte
// characters are compared as they are), as the Windows registry does.
// A write replaces the whole file through a temporary file and a rename, so
// a crash never leaves half a file; a file that does not parse is never
// overwritten (reads find nothing, writes fail).
#pragma once
#include <string>
#include <string_view>

#include "runtime/os/registry.h"

namespace tl::rt {

class FileRegistry {
 public:
  std::optional<RegistryValue> Read(int root, std::string_view key, std::string_view name);
  bool Write(int root, std::string_view key, std::string_view name, const RegistryValue& value);
};

// The directory of the root files; empty restores the default. Tests point
// it at a scratch directory.
void SetRegistryDirectory(std::string directory);
std::string RegistryDirectory();

// The file of one root (1..5).
std::string RegistryRootFile(int root);

}  // namespace tl::rt
