// De-duplication and shuffling of inputs larger than memory (tidyline-cli's
// external mode). The input is a byte range of an open file, processed byte
// for byte; records are spilled into temporary files that each fit the
// memory budget and are removed however the work ends.
//
// De-duplication gives exactly what DedupeBytes gives on the same bytes:
// records are spread over buckets by a hash of their bytes, each bucket keeps
// one occurrence of each distinct record (compared by bytes) with its
// position in the input, and the survivors of all buckets are merged back
// into input order. A bucket whose distinct records outgrow the budget is
// split again with another hash.
//
// The shuffle draws every record exactly once in uniformly random order:
// each record goes to a bucket chosen at random, each bucket is shuffled in
// memory (Fisher-Yates), and the buckets follow one another. Its generator is
// std::mt19937_64 seeded with the seed; the order for a seed depends on the
// memory budget too, and differs from the in-memory shuffle's.
//
// A single record is always held whole in memory.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/os/files.h"

namespace tl::text::external {

// The program's side of every conversion.
inline constexpr char kProgramCharset[] = "GB18030";

// Told how the work goes: the phase, the units done of the total (bytes of
// the input, or records), and the records counted so far. Called often; it
// decides itself when to show something.
using Progress = std::function<void(std::string_view phase, std::uint64_t done, std::uint64_t total,
                                    std::uint64_t records)>;

struct Limits {
  std::uint64_t memory = 256u << 20;  // the budget, in bytes
  std::string tempDir;               // program text; empty: the current folder
  Progress progress;                 // may be empty
};

// The input: bytes [start, end) of an open file.
struct Input {
  rt::fileio::Handle handle = rt::fileio::kNoHandle;
  std::int64_t start = 0;
  std::int64_t end = 0;
};

// Receives the output piece by piece; false stops the work.
using Sink = std::function<bool(std::string_view)>;

struct Outcome {
  bool ok = false;
  std::string error;  // what failed, for a message; empty when ok
  std::uint64_t recordsIn = 0;
  std::uint64_t recordsOut = 0;
  bool unchanged = false;  // the input was written as it is
};

// Keeps the last (or first) occurrence of every record, records joined with
// `separator` under DedupeBytes's rules; fewer than two records leave the
// input as it is. An empty separator makes the input one record.
Outcome Dedupe(const Input& input, std::string_view separator, bool keepFirst, const Limits& limits, const Sink& out);

// Every record exactly once in random order, joined with `separator` (CR LF
// when empty), never after the last.
Outcome Shuffle(const Input& input, std::string_view separator, std::uint64_t seed, const Limits& limits,
                const Sink& out);

// Converts a stream from one charset to another piece by piece, carrying a
// character cut off at the end of a piece into the next; for input in
// another encoding than the program's, which external mode converts to
// GB18030 on the way in and back on the way out.
class Transcoder {
 public:
  Transcoder(std::string_view to, std::string_view from);
  ~Transcoder();
  Transcoder(const Transcoder&) = delete;
  Transcoder& operator=(const Transcoder&) = delete;
  bool ok() const;

  // Converts `bytes` and hands the result to `out`. False when the input is
  // not valid in its charset (invalidAt() then tells where, counted over
  // everything put so far) or `out` refused.
  bool Put(std::string_view bytes, const Sink& out);
  // Ends the stream: false when it ended inside a character.
  bool Finish();
  std::int64_t invalidAt() const { return invalidAt_; }
  bool sawHighByte() const { return sawHighByte_; }  // any input byte of 0x80 or above
  bool sawNul() const { return sawNul_; }            // any NUL in the output

 private:
  struct State;
  State* state_;
  std::string carry_;  // the start of a character cut off by the last piece
  std::int64_t consumed_ = 0;  // input bytes before carry_
  std::int64_t invalidAt_ = -1;
  bool sawHighByte_ = false;
  bool sawNul_ = false;
};

// Whether bytes [start, end) hold an LF and whether they hold a CR LF.
struct LineBreaks {
  bool ok = false;
  bool lf = false;
  bool crlf = false;
};
LineBreaks ScanLineBreaks(const Input& input);

}  // namespace tl::text::external
