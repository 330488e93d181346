#include "runtime/os/posix_registry_store.h"
#include "runtime/core/gbk_view.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace tl::rt {
namespace {

std::string g_directory;

constexpr std::string_view kMagic = "TLREG 1\n";
constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

struct Entry {
  RegistryType type;
  std::string key;
  std::string name;
  std::string data;
};

// ASCII letters folded; a byte of 0x80 or above starts a two-byte character
// whose trail byte is compared unchanged.
std::string Fold(std::string_view s) {
  std::string out(s);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (gbk::IsLead(out[i]))
      ++i;
    else
      out[i] = gbk::FoldAscii(out[i]);
  }
  return out;
}

bool ReadWholeFile(const std::string& path, std::string& out, bool& missing) {
  missing = false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    missing = errno == ENOENT;
    return false;
  }
  char chunk[16384];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, got);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool ParseNumber(std::string_view& s, std::uint64_t& n, char terminator) {
  n = 0;
  std::size_t i = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i < 11) n = n * 10 + static_cast<unsigned>(s[i++] - '0');
  if (i == 0 || i >= s.size() || s[i] != terminator) return false;
  s.remove_prefix(i + 1);
  return true;
}

// Loads a root file: missing or empty is an empty store; anything unparsable fails.
bool Load(const std::string& path, std::vector<Entry>& entries) {
  std::string content;
  bool missing;
  if (!ReadWholeFile(path, content, missing)) return missing;
  if (content.empty()) return true;  // nothing to lose
  std::string_view s(content);
  if (s.substr(0, kMagic.size()) != kMagic) return false;
  s.remove_prefix(kMagic.size());
  while (!s.empty()) {
    std::uint64_t type, keyLen, nameLen, dataLen;
    if (!ParseNumber(s, type, ' ') || !ParseNumber(s, keyLen, ' ') || !ParseNumber(s, nameLen, ' ') ||
        !ParseNumber(s, dataLen, '\n'))
      return false;
    if (type < 1 || type > 4) return false;
    std::uint64_t total = keyLen + nameLen + dataLen + 1;
    if (total > s.size() || s[total - 1] != '\n') return false;
    entries.push_back({static_cast<RegistryType>(type), std::string(s.substr(0, keyLen)),
                       std::string(s.substr(keyLen, nameLen)), std::string(s.substr(keyLen + nameLen, dataLen))});
    s.remove_prefix(total);
  }
  return true;
}

bool Save(const std::string& path, const std::vector<Entry>& entries) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::string content(kMagic);
  for (const Entry& e : entries) {
    content += std::to_string(static_cast<unsigned>(e.type)) + ' ' + std::to_string(e.key.size()) + ' ' +
               std::to_string(e.name.size()) + ' ' + std::to_string(e.data.size()) + '\n';
    content += e.key;
    content += e.name;
    content += e.data;
    content += '\n';
  }
  std::string temp = path + ".tmp" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

Entry* FindEntry(std::vector<Entry>& entries, std::string_view key, std::string_view name) {
  std::string k = Fold(key), n = Fold(name);
  for (Entry& e : entries)
    if (Fold(e.key) == k && Fold(e.name) == n) return &e;
  return nullptr;
}

}  // namespace

void SetRegistryDirectory(std::string directory) { g_directory = std::move(directory); }

std::string RegistryDirectory() {
  if (!g_directory.empty()) return g_directory;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/tidyline/registry";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/tidyline/registry";
}

std::string RegistryRootFile(int root) {
  return RegistryDirectory() + "/" + kRootNames[(root >= 1 && root <= 5 ? root : 3) - 1] + ".reg";
}

std::optional<RegistryValue> FileRegistry::Read(int root, std::string_view key, std::string_view name) {
  if (!gbk::PiecesNonEmpty(key, '\\')) return std::nullopt;
  std::vector<Entry> entries;
  if (!Load(RegistryRootFile(root), entries)) return std::nullopt;
  const Entry* e = FindEntry(entries, key, name);
  if (!e) return std::nullopt;
  return RegistryValue{e->type, e->data};
}

bool FileRegistry::Write(int root, std::string_view key, std::string_view name, const RegistryValue& value) {
  if (!gbk::PiecesNonEmpty(key, '\\')) return false;
  std::string path = RegistryRootFile(root);
  std::vector<Entry> entries;
  if (!Load(path, entries)) return false;
  if (Entry* e = FindEntry(entries, key, name)) {
    e->type = value.type;
    e->data = value.data;
  } else {
    entries.push_back({value.type, std::string(key), std::string(name), value.data});
  }
  return Save(path, entries);
}

}  // namespace tl::rt

namespace tl::os {

std::optional<rt::RegistryValue> ReadRegistry(int root, std::string_view key, std::string_view name) {
  return rt::FileRegistry().Read(root, key, name);
}

bool WriteRegistry(int root, std::string_view key, std::string_view name, const rt::RegistryValue& value) {
  return rt::FileRegistry().Write(root, key, name, value);
}

}  // namespace tl::os
