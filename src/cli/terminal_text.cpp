#include "cli/terminal_text.h"

#include "runtime/os/charset.h"
#include "runtime/os/terminal.h"

namespace tl::cli {
namespace {

using os::TerminalCharset;
TerminalCharset g_terminal = TerminalCharset::kOther;

bool HasHighByte(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

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

}  // namespace

void InitTerminalEncoding() { g_terminal = os::TerminalCharsetOfLocale(); }

bool FromTerminal(std::string_view in, std::string& out) {
  if (g_terminal == TerminalCharset::kUtf8) return Convert("GB18030", "UTF-8", in, out);
  // Under the C locale a UTF-8 argument is what a UTF-8 terminal or script
  // sent; bytes that are not UTF-8 are taken as the program's own text.
  if (g_terminal == TerminalCharset::kAscii && HasHighByte(in) && Convert("GB18030", "UTF-8", in, out)) return true;
  out.assign(in);
  return true;
}

std::string ToTerminal(std::string_view text) {
  std::string out;
  if (g_terminal != TerminalCharset::kOther && HasHighByte(text) && Convert("UTF-8", "GB18030", text, out)) return out;
  return std::string(text);
}

}  // namespace tl::cli
