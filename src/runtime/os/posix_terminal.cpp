// The terminal's character set on POSIX (runtime/os/terminal.h).
#include <langinfo.h>

#include <clocale>
#include <cstring>

#include "runtime/os/terminal.h"

namespace tl::os {

bool TerminalSpeaksUtf8() {
  std::setlocale(LC_CTYPE, "");
  const char* cs = nl_langinfo(CODESET);
  return cs && (std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "utf8") == 0);
}

}  // namespace tl::os
