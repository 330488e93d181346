// Standard input, or a single file given with -o, to standard output or to
// the -o file, in the encoding the input came in. An input that does not fit
// the memory budget is processed in external mode.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "text/process_text.h"

namespace tl::cli {

struct StreamRequest {
  std::string input;   // program text; empty: standard input
  std::string output;  // program text; empty: standard output
  std::uint64_t memory = 0;  // the budget in bytes
  std::string tempDir;       // program text; for external mode and spooled input
  std::optional<std::uint32_t> seed;
  bool quiet = false;  // no progress line
};

// Returns the process exit code.
int RunStreamMode(const StreamRequest& request, text::FixedOptions& options);

// Whether input of `bytes` fits the in-memory engine under `memory`.
bool FitsInMemory(std::int64_t bytes, std::uint64_t memory);
// A file of a batch that does not fit, in external mode: written to
// `target` as the batch writes results. Failures are named on standard
// error; returns 0 or 1.
int ProcessFileExternally(const std::string& path, const std::string& target, const StreamRequest& request,
                          text::FixedOptions& options);

}  // namespace tl::cli
