// Arguments and messages cross the terminal in its own encoding; the
// program's texts are GB18030. Under a UTF-8 locale they are converted, under
// any other locale they pass byte for byte.
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
