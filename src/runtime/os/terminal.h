// The terminal's character set, for the command-line tool.
#pragma once

namespace tl::os {

// Takes the character set from the environment's locale (once, at start)
// and tells whether it is UTF-8.
bool TerminalSpeaksUtf8();

}  // namespace tl::os
