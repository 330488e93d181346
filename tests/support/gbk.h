// Test helper: UTF-8 literals to the program's GB18030 bytes, through the C
// library's iconv, so tests stay readable.
#pragma once
#include <iconv.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace tl::test {

inline std::string Recode(std::string_view in, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) throw std::runtime_error("iconv failed");
  out.resize(out.size() - dst_left);
  return out;
}

inline std::string Gbk(std::string_view utf8) { return Recode(utf8, "GB18030", "UTF-8"); }
inline std::string Utf8(std::string_view gbk) { return Recode(gbk, "UTF-8", "GB18030"); }

}  // namespace tl::test
