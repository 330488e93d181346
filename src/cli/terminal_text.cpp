#include "cli/terminal_text.h"

#include <clocale>
#include <cstring>

#ifndef _WIN32
#include <iconv.h>
#include <langinfo.h>
#endif

namespace tl::cli {
namespace {

bool g_utf8 = false;

#ifndef _WIN32
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return false;
  out.resize(out.size() - dst_left);
  return true;
}
#endif

}  // namespace

void InitTerminalEncoding() {
#ifndef _WIN32
  std::setlocale(LC_CTYPE, "");
  const char* cs = nl_langinfo(CODESET);
  g_utf8 = cs && (std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "utf8") == 0);
#endif
}

bool FromTerminal(std::string_view in, std::string& out) {
#ifndef _WIN32
  if (g_utf8) return Convert("GB18030", "UTF-8", in, out);
#endif
  out.assign(in);
  return true;
}

std::string ToTerminal(std::string_view text) {
#ifndef _WIN32
  std::string out;
  if (g_utf8 && Convert("UTF-8", "GB18030", text, out)) return out;
#endif
  return std::string(text);
}

}  // namespace tl::cli
