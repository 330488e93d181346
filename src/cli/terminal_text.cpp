#include "cli/terminal_text.h"

#include <clocale>
#include <cstring>

#ifndef _WIN32
#include <langinfo.h>
#endif

#include "runtime/iconv_adapter.h"

namespace tl::cli {
namespace {

enum class Terminal { kOther, kUtf8, kAscii };
Terminal g_terminal = Terminal::kOther;

bool HasHighByte(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

#ifndef _WIN32
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  rt::CharsetConverter conv(to, from);
  if (!conv.ok()) return false;
  out.assign(in.size() * 4 + 16, '\0');
  const char* src = in.data();
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  if (conv.Convert(src, srcLeft, dst, dstLeft) != rt::CharsetConverter::Status::kDone) return false;
  out.resize(out.size() - dstLeft);
  return true;
}
#endif

}  // namespace

void InitTerminalEncoding() {
#ifndef _WIN32
  std::setlocale(LC_CTYPE, "");
  const char* cs = nl_langinfo(CODESET);
  if (!cs) return;
  if (std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "utf8") == 0)
    g_terminal = Terminal::kUtf8;
  else if (std::strcmp(cs, "ANSI_X3.4-1968") == 0 || std::strcmp(cs, "ASCII") == 0 ||
           std::strcmp(cs, "US-ASCII") == 0)
    g_terminal = Terminal::kAscii;
#endif
}

bool FromTerminal(std::string_view in, std::string& out) {
#ifndef _WIN32
  if (g_terminal == Terminal::kUtf8) return Convert("GB18030", "UTF-8", in, out);
  // Under the C locale a UTF-8 argument is what a UTF-8 terminal or script
  // sent; bytes that are not UTF-8 are taken as the program's own text.
  if (g_terminal == Terminal::kAscii && HasHighByte(in) && Convert("GB18030", "UTF-8", in, out)) return true;
#endif
  out.assign(in);
  return true;
}

std::string ToTerminal(std::string_view text) {
#ifndef _WIN32
  std::string out;
  if (g_terminal != Terminal::kOther && HasHighByte(text) && Convert("UTF-8", "GB18030", text, out)) return out;
#endif
  return std::string(text);
}

}  // namespace tl::cli
