// The registry on Windows (runtime/os/registry.h): the real one, through the
// ANSI functions (key paths and names are GBK, the ANSI code page).
#include <windows.h>

#include <vector>

#include "runtime/os/registry.h"

namespace tl::os {

namespace {

HKEY RootKey(int root) {
  switch (root) {
    case 1: return HKEY_CLASSES_ROOT;
    case 2: return HKEY_CURRENT_CONFIG;
    case 3: return HKEY_CURRENT_USER;
    case 4: return HKEY_LOCAL_MACHINE;
    case 5: return HKEY_USERS;
    default: return nullptr;
  }
}

}  // namespace

std::optional<rt::RegistryValue> ReadRegistry(int root, std::string_view key, std::string_view name) {
  HKEY base = RootKey(root);
  if (!base) return std::nullopt;
  HKEY k = nullptr;
  if (RegOpenKeyExA(base, std::string(key).c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
    return std::nullopt;
  const std::string valueName(name);
  std::vector<char> buf(256);
  DWORD type = 0;
  LONG r;
  for (;;) {
    DWORD size = static_cast<DWORD>(buf.size());
    r = RegQueryValueExA(k, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
    if (r == ERROR_MORE_DATA) {
      buf.resize(size > buf.size() ? size : buf.size() * 2);
      continue;
    }
    buf.resize(size);
    break;
  }
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return std::nullopt;
  rt::RegistryValue v;
  switch (type) {
    case REG_SZ: v.type = rt::RegistryType::kText; break;
    case REG_EXPAND_SZ: v.type = rt::RegistryType::kExpandText; break;  // expanded by the caller
    case REG_DWORD: v.type = rt::RegistryType::kDword; break;
    default: v.type = rt::RegistryType::kBinary; break;
  }
  v.data.assign(buf.data(), buf.size());
  return v;
}

bool WriteRegistry(int root, std::string_view key, std::string_view name, const rt::RegistryValue& value) {
  HKEY base = RootKey(root);
  if (!base) return false;
  HKEY k = nullptr;
  if (RegCreateKeyExA(base, std::string(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const LONG r = RegSetValueExA(k, std::string(name).c_str(), 0, static_cast<DWORD>(value.type),
                                reinterpret_cast<const BYTE*>(value.data.data()),
                                static_cast<DWORD>(value.data.size()));
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

}  // namespace tl::os
