// Standard input to standard output, in the encoding the input came in.
#pragma once
#include "text/process_text.h"

namespace tl::cli {

// Returns the process exit code.
int RunStdinMode(text::FixedOptions& options);

}  // namespace tl::cli
