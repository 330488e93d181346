// The terminal's character set, for the command-line tool.
#pragma once

namespace tl::os {

enum class TerminalCharset { kOther, kUtf8, kAscii };

// Takes the character set from the environment's locale (once, at start):
// UTF-8, plain ASCII (the C locale), or anything else.
TerminalCharset TerminalCharsetOfLocale();

}  // namespace tl::os
