// The terminal's character set on Windows (runtime/os/terminal.h). Arguments
// and the console speak the ANSI code page (936 for this program), which is
// neither UTF-8 nor the C locale: names are taken byte for byte.
#include <windows.h>

#include "runtime/os/terminal.h"

namespace tl::os {

TerminalCharset TerminalCharsetOfLocale() {
  return GetACP() == CP_UTF8 ? TerminalCharset::kUtf8 : TerminalCharset::kOther;
}

}  // namespace tl::os
