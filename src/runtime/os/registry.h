// Registry values, addressed by a root (1 classes root, 2 current config,
// 3 current user, 4 local machine, 5 users), a key path "a\\b" and a value
// name. Linux has no registry: posix_registry.cpp keeps a file store of our
// own (posix_registry_store.h); Windows reads and writes the real one.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tl::rt {

// The value types we keep, with their Windows numbers.
enum class RegistryType : std::uint32_t {
  kText = 1,          // REG_SZ, stored with its NUL
  kExpandText = 2,    // REG_EXPAND_SZ, environment references expanded on read
  kBinary = 3,        // REG_BINARY
  kDword = 4,         // REG_DWORD, 4 bytes little-endian
};

struct RegistryValue {
  RegistryType type = RegistryType::kText;
  std::string data;
};

}  // namespace tl::rt

namespace tl::os {

// `root` is already normalised to 1..5. A missing key or value: nullopt.
std::optional<rt::RegistryValue> ReadRegistry(int root, std::string_view key, std::string_view name);
// Creates the key when missing; false when nothing was written.
bool WriteRegistry(int root, std::string_view key, std::string_view name, const rt::RegistryValue& value);

}  // namespace tl::os
