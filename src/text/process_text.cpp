// PLACEHOLDER on this branch only, so that the file engine links and can be
// tested before the record pipeline is merged: the real de-duplicate and
// shuffle pipeline replaces this file. It returns the text unchanged.
#include "text/process_text.h"

namespace tl::text {

ProcessOptions::~ProcessOptions() = default;

rt::Text ProcessText(std::string_view text, ProcessOptions&) { return rt::Text(text); }

}  // namespace tl::text
