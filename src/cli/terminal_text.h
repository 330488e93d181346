// Arguments and messages cross the terminal in its own encoding; the
// program's texts are GB18030. Under a UTF-8 locale they are converted. Under
// the C locale (plain ASCII, which cannot hold a non-ASCII argument at all)
// arguments that are valid UTF-8 are converted as under a UTF-8 locale, and
// texts go out in UTF-8, the file system's own encoding; other bytes pass as
// they are. Under any other locale they pass byte for byte.
#pragma once
#include <string>
#include <string_view>

namespace tl::cli {

// Call once at start-up: reads the locale's character set.
void InitTerminalEncoding();
// Terminal bytes -> program text; false when they are not valid in the
// terminal's encoding.
bool FromTerminal(std::string_view in, std::string& out);
// Program text -> terminal bytes (unconvertible bytes are kept as they are).
std::string ToTerminal(std::string_view text);

}  // namespace tl::cli
