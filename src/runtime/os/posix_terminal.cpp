// The terminal's character set on POSIX (runtime/os/terminal.h).
#include <langinfo.h>

#include <clocale>
#include <cstring>

#include "runtime/os/terminal.h"

namespace tl::os {

TerminalCharset TerminalCharsetOfLocale() {
  std::setlocale(LC_CTYPE, "");
  const char* cs = nl_langinfo(CODESET);
  if (!cs) return TerminalCharset::kOther;
  if (std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "utf8") == 0) return TerminalCharset::kUtf8;
  if (std::strcmp(cs, "ANSI_X3.4-1968") == 0 || std::strcmp(cs, "ASCII") == 0 || std::strcmp(cs, "US-ASCII") == 0)
    return TerminalCharset::kAscii;
  return TerminalCharset::kOther;
}

}  // namespace tl::os
