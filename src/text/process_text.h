// The de-duplicate / shuffle pipeline shared by the window, the batch and
// the command-line tool.
#pragma once
#include <string>
#include <string_view>

#include "runtime/core/value.h"
#include "text/bytes.h"
#include "text/shuffle.h"

namespace tl::text {

// Where the pipeline reads its choices. The window implements it live, so a
// control changed while the work yields is seen at the next read; the
// command-line tool implements it with fixed values.
struct ProcessOptions {
  virtual ~ProcessOptions();
  // The separator: "\r\n" in line-break mode, else the typed text as it is.
  virtual std::string Separator() = 0;
  virtual bool Dedupe() = 0;
  virtual bool Shuffle() = 0;
  // The item index of the encoding choice (0 automatic ... 5 Big5).
  virtual int EncodingChoice() = 0;
  // True when the separator comes from line-break mode rather than typed text.
  virtual bool LineBreakMode() { return false; }
  // De-duplication keeps the first occurrence instead of the last.
  virtual bool KeepFirst() { return false; }

  // Records counted by every ProcessBytes/ProcessText call since this was
  // last cleared (tidyline-cli --stats): cut from the input, and written out.
  // A shuffle alone counts only with `countRecords` (an extra pass).
  bool countRecords = false;
  std::uint64_t recordsIn = 0;
  std::uint64_t recordsOut = 0;
};

// The separator an operation uses on `text`: in line-break mode, text with
// LF but no CR LF anywhere (Unix-style) is cut at LF and joined with LF.
std::string EffectiveSeparator(ProcessOptions& options, std::string_view text);

// De-duplicate first if chosen, then shuffle if chosen; each reads the
// separator anew. With neither chosen the text comes back unchanged.
rt::Text ProcessText(std::string_view text, ProcessOptions& options);
// The same on raw bytes (NUL is an ordinary byte).
Bytes ProcessBytes(std::string_view text, ProcessOptions& options);
// ProcessBytes with the result handed to `sink`: a shuffled result a piece
// at a time as it is gathered (ShuffleInto), never whole in memory. False
// when the sink refused.
bool ProcessBytesInto(std::string_view text, ProcessOptions& options, const ByteSink& sink);

// Fixed choices, for the command-line tool and tests.
struct FixedOptions : ProcessOptions {
  std::string separator = "\r\n";
  bool dedupe = true;
  bool shuffle = false;
  int encoding = 0;
  bool lineBreakMode = true;
  bool keepFirst = false;

  std::string Separator() override { return separator; }
  bool Dedupe() override { return dedupe; }
  bool Shuffle() override { return shuffle; }
  int EncodingChoice() override { return encoding; }
  bool LineBreakMode() override { return lineBreakMode; }
  bool KeepFirst() override { return keepFirst; }
};

}  // namespace tl::text
