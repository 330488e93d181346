// Test helper: GBK test strings written as readable UTF-8, converted with
// iconv(3) to GB18030 (a superset of GBK, identical for these characters).
#pragma once
#include <iconv.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace tl::testutil {

inline std::string ToGbk(std::string_view utf8) {
  iconv_t cd = iconv_open("GB18030", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  std::size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) throw std::runtime_error("iconv failed");
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace tl::testutil
