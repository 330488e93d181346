#include "cli/terminal_text.h"

#include "runtime/os/charset.h"
#include "runtime/os/terminal.h"

namespace tl::cli {
namespace {

bool g_utf8 = false;

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

void InitTerminalEncoding() { g_utf8 = os::TerminalSpeaksUtf8(); }

bool FromTerminal(std::string_view in, std::string& out) {
  if (g_utf8) return Convert("GB18030", "UTF-8", in, out);
  out.assign(in);
  return true;
}

std::string ToTerminal(std::string_view text) {
  std::string out;
  if (g_utf8 && Convert("UTF-8", "GB18030", text, out)) return out;
  return std::string(text);
}

}  // namespace tl::cli
