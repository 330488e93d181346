// The name matching of the Windows directory search, shared by every OS:
// POSIX searches with it, Windows searches with the system's own and tests
// compare the two.
#include "runtime/core/gbk_view.h"
#include "runtime/os/files.h"

namespace tl::rt::fileio {

namespace {

using gbk::FoldAscii;
// A name's characters pair as GBK does, except that a high byte before a
// byte that cannot trail stands alone: a name in another single-byte code
// page ("caf\xe9.txt") keeps its dot for "*.*". GBK names pair as before.
std::size_t CharLen(std::string_view s, std::size_t i) {
  return gbk::CharLength(s, i) == 2 && gbk::CanTrail(s[i + 1]) ? 2 : 1;
}

bool Glob(std::string_view p, std::string_view s) {
  std::size_t pi = 0, si = 0;
  std::size_t starP = std::string_view::npos, starS = 0;
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == '*') {
      starP = ++pi;
      starS = si;
      continue;
    }
    if (pi < p.size()) {
      std::size_t pl = CharLen(p, pi), sl = CharLen(s, si);
      bool same = false;
      if (p[pi] == '?') {
        same = true;
        pl = 1;
      } else if (pl == sl) {
        same = pl == 1 ? FoldAscii(p[pi]) == FoldAscii(s[si]) : p.substr(pi, 2) == s.substr(si, 2);
      }
      if (same) {
        pi += pl;
        si += sl;
        continue;
      }
    }
    if (starP == std::string_view::npos) return false;
    pi = starP;
    starS += CharLen(s, starS);
    si = starS;
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

bool WildcardMatches(std::string_view pattern, std::string_view name) {
  if (Glob(pattern, name)) return true;
  // "a.*" also matches "a", and "*.*" everything, as the Windows search does.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos)
    return Glob(pattern.substr(0, pattern.size() - 2), name);
  return false;
}

}  // namespace tl::rt::fileio
