// Shared helpers of the in-process file-system classes: names between the
// UTF-16 of the automation boundary and the file system's bytes, file
// attributes and times, mounted file systems.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tl::rt::automation::fsnative {

// A UTF-16 path as the file system's bytes (UTF-8). A name stored on disk in
// GB18030 bytes, as another program may have left it, is still found.
std::string ToNative(std::u16string_view path);
// File-system bytes as UTF-16; bytes that are not UTF-8 are read as GB18030.
std::u16string FromNative(std::string_view name);

// Absolute, lexically normal, without a trailing separator (except "/").
std::string Normalize(const std::string& native);
// The last component ("" for the root).
std::string LastComponent(const std::string& normalized);
std::string ParentOf(const std::string& normalized);  // "" for the root

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrAlias = 0x400;
std::uint32_t Attributes(const std::string& native);
// Only read-only can be changed here; the other bits have no Linux meaning
// (hidden is part of the name) and are ignored, as unsupported bits are.
bool SetReadOnly(const std::string& native, bool readOnly);

enum class Stamp { kCreated, kModified, kAccessed };
// Local time as an automation date; false when the file cannot be read.
bool FileDate(const std::string& native, Stamp which, double& date);

struct Mount {
  std::string source, target, type;
};
// Mounted file systems with storage (pseudo file systems are left out).
std::vector<Mount> Mounts();
// The mount whose target is the longest prefix of an absolute path.
bool MountOf(const std::string& normalized, Mount& out);

// "*" and "?" in `pattern`, ASCII case-insensitive.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

}  // namespace tl::rt::automation::fsnative
