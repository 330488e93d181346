// Test helper: UTF-8 literals to the program's GB18030 bytes, so tests stay
// readable. Linux asks the C library's iconv (independent of the code under
// test); Windows has no iconv and uses the converter's generated tables.
#pragma once
#ifdef _WIN32
#include "runtime/os/charset.h"
#else
#include <iconv.h>
#endif

#include <stdexcept>
#include <string>
#include <string_view>

namespace tl::test {

#ifdef _WIN32
inline std::string Recode(std::string_view in, const char* to, const char* from) {
  rt::CharsetConverter conv(to, from);
  if (!conv.ok()) throw std::runtime_error("no converter");
  std::string out(in.size() * 4 + 16, '\0');
  const char* src = in.data();
  std::size_t src_left = in.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  if (conv.Convert(src, src_left, dst, dst_left) != rt::CharsetConverter::Status::kDone)
    throw std::runtime_error("conversion failed");
  out.resize(out.size() - dst_left);
  return out;
}
#else
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
#endif

inline std::string Gbk(std::string_view utf8) { return Recode(utf8, "GB18030", "UTF-8"); }
inline std::string Utf8(std::string_view gbk) { return Recode(gbk, "UTF-8", "GB18030"); }

// A console program's standard error as the checks read it: Windows writes
// the ANSI code page (GBK) with CR LF line ends; Linux's is UTF-8 already.
inline std::string FromConsole(const std::string& err) {
#ifdef _WIN32
  std::string lf;
  for (std::size_t i = 0; i < err.size(); ++i)
    if (!(err[i] == '\r' && i + 1 < err.size() && err[i + 1] == '\n')) lf += err[i];
  return Utf8(lf);
#else
  return err;
#endif
}

}  // namespace tl::test
