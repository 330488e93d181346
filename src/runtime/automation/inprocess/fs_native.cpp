#include "runtime/automation/inprocess/fs_native.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "runtime/automation/wide_text.h"
#include "runtime/core/datetime.h"

namespace tl::rt::automation::fsnative {

namespace stdfs = std::filesystem;

std::string ToNative(std::u16string_view path) {
  std::string utf8 = Utf16ToUtf8(path);
  std::error_code ec;
  if (stdfs::exists(stdfs::symlink_status(utf8, ec))) return utf8;
  std::string gb = Utf16ToGbk(path);
  if (gb != utf8 && stdfs::exists(stdfs::symlink_status(gb, ec))) return gb;
  return utf8;
}

std::u16string FromNative(std::string_view name) {
  return IsValidUtf8(name) ? Utf8ToUtf16(name) : GbkToUtf16(name);
}

std::string Normalize(const std::string& native) {
  std::error_code ec;
  stdfs::path p = stdfs::absolute(native.empty() ? std::string(".") : native, ec);
  if (ec) p = native;
  std::string s = p.lexically_normal().native();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string LastComponent(const std::string& n) {
  if (n == "/") return {};
  const std::size_t slash = n.rfind('/');
  return slash == std::string::npos ? n : n.substr(slash + 1);
}

std::string ParentOf(const std::string& n) {
  if (n == "/" || n.empty()) return {};
  const std::size_t slash = n.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : n.substr(0, slash);
}

std::uint32_t Attributes(const std::string& native) {
  struct stat st {};
  std::uint32_t a = 0;
  if (::lstat(native.c_str(), &st) != 0) return 0;
  if (S_ISLNK(st.st_mode)) {
    a |= kAttrAlias;
    struct stat target {};
    if (::stat(native.c_str(), &target) == 0) st = target;
  }
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  if (S_ISREG(st.st_mode)) a |= kAttrArchive;
  if (::access(native.c_str(), W_OK) != 0) a |= kAttrReadOnly;
  const std::string name = LastComponent(native);
  if (!name.empty() && name[0] == '.') a |= kAttrHidden;
  return a;
}

bool SetReadOnly(const std::string& native, bool readOnly) {
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
  return ::chmod(native.c_str(), mode) == 0;
}

namespace {

double LocalDate(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm {};
  if (!::localtime_r(&t, &tm)) return 0.0;
  CivilTime c{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return DateTimeFromCivil(c);
}

// Mount table fields escape blanks as \040 and so on.
std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

bool FileDate(const std::string& native, Stamp which, double& date) {
  struct statx sx {};
  if (::statx(AT_FDCWD, native.c_str(), 0, STATX_BTIME | STATX_MTIME | STATX_ATIME, &sx) != 0) return false;
  std::int64_t s = sx.stx_mtime.tv_sec;
  if (which == Stamp::kAccessed) s = sx.stx_atime.tv_sec;
  // Without a birth time the last change of the content is the best answer.
  if (which == Stamp::kCreated && (sx.stx_mask & STATX_BTIME)) s = sx.stx_btime.tv_sec;
  date = LocalDate(s);
  return true;
}

std::vector<Mount> Mounts() {
  std::vector<Mount> out;
  std::ifstream in("/proc/self/mounts");
  std::string line;
  while (std::getline(in, line)) {
    Mount m;
    std::size_t a = line.find(' ');
    std::size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    std::size_t c = b == std::string::npos ? b : line.find(' ', b + 1);
    if (c == std::string::npos) continue;
    m.source = Unescape(line.substr(0, a));
    m.target = Unescape(line.substr(a + 1, b - a - 1));
    m.type = line.substr(b + 1, c - b - 1);
    struct statvfs vfs {};
    if (::statvfs(m.target.c_str(), &vfs) != 0 || vfs.f_blocks == 0) continue;
    // A later mount on the same point hides the earlier one.
    std::erase_if(out, [&](const Mount& o) { return o.target == m.target; });
    out.push_back(std::move(m));
  }
  return out;
}

bool MountOf(const std::string& n, Mount& out) {
  std::size_t best = 0;
  bool found = false;
  for (Mount& m : Mounts()) {
    const std::string& t = m.target;
    const bool inside = n == t || t == "/" || (n.size() > t.size() && n.compare(0, t.size(), t) == 0 && n[t.size()] == '/');
    if (inside && (!found || t.size() >= best)) {
      best = t.size();
      out = m;
      found = true;
    }
  }
  return found;
}

bool WildcardMatch(std::u16string_view p, std::u16string_view s) {
  std::size_t pi = 0, si = 0, starP = std::u16string_view::npos, starS = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == u'?' || FoldAscii(p[pi]) == FoldAscii(s[si]))) {
      ++pi;
      ++si;
    } else if (pi < p.size() && p[pi] == u'*') {
      starP = pi++;
      starS = si;
    } else if (starP != std::u16string_view::npos) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  return pi == p.size();
}

}  // namespace tl::rt::automation::fsnative
