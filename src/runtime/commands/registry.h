// Registry commands: read a text value and write a typed value, addressed by
// a root code and an item path "key\subkey\...\value name" (the part after
// the last "\" names the value; without "\" the value sits under the root).
//
// Root codes: 1 classes root, 2 current config, 3 current user, 4 local
// machine, 5 users; any other code means the current user.
//
// The commands read and write the operating system's registry
// (runtime/os/registry.h); tests may put a backend of their own in between.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/os/registry.h"
#include "runtime/core/value.h"

namespace tl::rt {

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // `root` is already normalised to 1..5. A missing key or value: nullopt.
  virtual std::optional<RegistryValue> Read(int root, std::string_view key, std::string_view name) = 0;
  // Creates the key when missing; false when nothing was written.
  virtual bool Write(int root, std::string_view key, std::string_view name, const RegistryValue& value) = 0;
};

// Installs a backend (not owned); nullptr goes back to the operating
// system's registry. Returns the previous one.
RegistryBackend* SetRegistryBackend(RegistryBackend* backend);

// Any code outside 1..5 becomes 3 (the current user).
int NormaliseRegistryRoot(int root);

// %NAME% references replaced by the environment's value; unknown names and a
// lone "%" stay as they are.
std::string ExpandEnvironmentReferences(std::string_view text);

// A text or expandable-text value as text; anything else, or any failure,
// gives the default (or the empty text when none is given).
Text ReadRegistryText(int root, std::string_view itemPath, std::optional<std::string_view> defaultText);
// Numbers are written as DWORD (converted to int), a text as REG_SZ with its
// NUL, a byte-set as binary; other kinds write nothing and give false.
bool WriteRegistryItem(int root, std::string_view itemPath, const TypedArg& value);

extern const Command kReadRegistryText;
extern const Command kWriteRegistryItem;

}  // namespace tl::rt
