#include "cli/stdin_mode.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cli/progress.h"
#include "cli/terminal_text.h"
#include "runtime/automation/wide_text.h"
#include "runtime/core/random.h"
#include "runtime/os/files.h"
#include "runtime/os/memory.h"
#include "runtime/os/stdin_hint.h"
#include "runtime/os/stdio.h"
#include "runtime/os/temp_files.h"
#include "text/encoding_detect.h"
#include "text/external.h"
#include "text/file_text.h"
#include "text/parallel.h"

namespace tl::cli {
namespace {

namespace fio = rt::fileio;

int Fail(const std::string& message) {
  std::fprintf(stderr, "tidyline-cli: %s\n", message.c_str());
  return 1;
}

std::string ErrnoText() { return errno ? std::strerror(errno) : "unknown error"; }

// In line-break mode a final line break ends the last line; the record
// engine joins records without one whenever it rebuilds the text, and only a
// text it leaves as it is (fewer than two records to de-duplicate) keeps it.
// Standard input follows the Unix convention instead: a final break in means
// a final break out. Returns the break to append, or nothing.
// `out` is left out for a result known to be rebuilt (shuffled).
std::string FinalBreakToRestore(std::string_view in, std::optional<std::string_view> out,
                                text::FixedOptions& options) {
  if (!options.lineBreakMode || in.empty()) return {};
  std::string lineBreak = text::EffectiveSeparator(options, in);
  // A rebuilt text is always shorter than an input that ends with a
  // separator, so only an unchanged text compares equal.
  if (!in.ends_with(lineBreak) || (out && *out == in)) return {};
  return lineBreak;
}

// Where the result goes: standard output, or a temporary file beside the -o
// file that replaces it only when complete.
class Destination {
 public:
  explicit Destination(std::string path) : path_(std::move(path)) {}
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;
  ~Destination() { os::DiscardTempFile(temp_); }

  // False with a message printed when the temporary file cannot be made.
  bool Open() {
    if (path_.empty()) return true;
    const std::size_t sep = path_.find_last_of(fio::kSeparator);
    const std::string dir = sep == std::string::npos ? std::string() : path_.substr(0, sep + 1);
    std::optional<os::TempFile> f = os::CreateTempFile(dir);
    if (!f) {
      Fail("cannot create a file beside '" + ToTerminal(path_) + "': " + ErrnoText());
      return false;
    }
    temp_ = std::move(*f);
    return true;
  }
  bool Write(std::string_view bytes) {
    if (path_.empty()) return os::WriteStdout({bytes});
    errno = 0;
    if (!fio::WriteAt(temp_.handle, at_, bytes.data(), bytes.size())) return false;
    at_ += static_cast<std::int64_t>(bytes.size());
    return true;
  }
  // `release` lets go of the input once the whole result is written:
  // Windows will not replace a file that is open, and -o may name the input.
  void ReleaseInputBeforeCommit(std::function<void()> release) { release_ = std::move(release); }
  // Puts the result in place; prints why not.
  int Commit() {
    if (path_.empty()) return 0;
    if (release_) release_();
    if (!os::CommitTempFile(temp_, path_)) return Fail("cannot replace '" + ToTerminal(path_) + "': " + ErrnoText());
    return 0;
  }
  int WriteFailed() {
    return Fail(path_.empty() ? "cannot write standard output" : "cannot write '" + ToTerminal(path_) + "': " + ErrnoText());
  }

 private:
  std::string path_;
  std::function<void()> release_;
  os::TempFile temp_;
  std::int64_t at_ = 0;
};

// The in-memory engine on bytes read whole.
// `inputName` names the input in messages.
int ProcessInMemory(std::string_view bytes, const std::string& inputName, text::FixedOptions& options,
                    Destination& dest) {
  // Input that stays in the program's own encoding (ANSI, and not UTF-8 in
  // disguise) is processed as it is, byte for byte: no copy, and a NUL or a
  // final 0x1A, which a pipe does not use as an end mark, is kept.
  const text::ContentStart at = text::EncodingOfBytes(bytes, options.encoding);
  const std::string_view content = bytes.substr(at.start);
  if (at.code == text::kEncodingAnsi && !(text::HasHighByte(content) && rt::automation::IsValidUtf8(content))) {
    if (options.shuffle) {
      // A shuffled result goes out as it is gathered, a few megabytes at a
      // time, instead of into a block the size of the input first.
      if (!dest.Open()) return 1;
      if (!text::ProcessBytesInto(bytes, options, [&](std::string_view b) { return dest.Write(b); }) ||
          !dest.Write(FinalBreakToRestore(bytes, std::nullopt, options)))
        return dest.WriteFailed();
      return dest.Commit();
    }
    text::Bytes result = text::ProcessBytes(bytes, options);
    const std::string lineBreak = FinalBreakToRestore(bytes, result.view(), options);
    if (!dest.Open()) return 1;
    if (!dest.Write(result.view()) || !dest.Write(lineBreak)) return dest.WriteFailed();
    return dest.Commit();
  }

  // Anything else is decoded once, as a file would be, processed, and
  // encoded back; the byte-order mark (only when the input had one), the body
  // and a restored final line break are written one after the other.
  rt::Text result;
  std::string lineBreak;
  int code = 0;
  bool hadMark = false;
  {
    text::FileText decoded = text::ReadTextFromMemory(bytes, options.encoding);
    if (decoded.invalidAt >= 0) return Fail(inputName + ": " + text::InvalidTextReason(decoded.code, decoded.invalidAt));
    if (!decoded.ok) return Fail(inputName + " cannot be read whole as text in its encoding");
    code = decoded.code;
    hadMark = decoded.hadMark;
    result = text::ProcessText(decoded.text.view(), options);
    lineBreak = FinalBreakToRestore(decoded.text.view(), result.view(), options);
  }  // the decoded input goes before the result is encoded
  const text::EncodedText out = text::EncodeTextForOutput(result.view(), code, hadMark);
  result = rt::Text();
  const rt::ByteSet encodedBreak = text::EncodeTextBody(lineBreak, code);
  if (!dest.Open()) return 1;
  if (!dest.Write(out.mark) || !dest.Write(out.body.view()) || !dest.Write(encodedBreak.view()))
    return dest.WriteFailed();
  return dest.Commit();
}

// The separator of line-break mode for the bytes of `input`.
std::string LineBreakOf(const text::external::Input& input, text::FixedOptions& options) {
  std::string sep = options.Separator();
  if (!options.lineBreakMode || sep != "\r\n") return sep;
  const text::external::LineBreaks lb = text::external::ScanLineBreaks(input);
  return lb.lf && !lb.crlf ? "\n" : sep;
}

std::string BytesAt(fio::Handle h, std::int64_t at, std::size_t n) {
  std::string s(n, '\0');
  const std::int64_t got = fio::ReadAt(h, at, s.data(), n);
  s.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return s;
}

// A temporary file written from the start, removed when this goes.
struct SpoolFile {
  os::TempFile file;
  bool open = false;
  std::int64_t size = 0;
  SpoolFile() = default;
  SpoolFile(const SpoolFile&) = delete;
  SpoolFile& operator=(const SpoolFile&) = delete;
  ~SpoolFile() { Discard(); }
  void Discard() {
    if (open) os::DiscardTempFile(file);
    open = false;
    size = 0;
  }
  bool Create(const std::string& dir) {
    std::optional<os::TempFile> f = os::CreateTempFile(dir);
    if (!f) return false;
    file = std::move(*f);
    open = true;
    return true;
  }
  bool Append(std::string_view bytes) {
    errno = 0;
    if (!fio::WriteAt(file.handle, size, bytes.data(), bytes.size())) return false;
    size += static_cast<std::int64_t>(bytes.size());
    return true;
  }
};

// Puts bytes [from, to) of a file through `conv` into `sink`, a piece at a
// time. False when the bytes cannot be read (errno) or converted, or the
// sink refused.
bool Transcode(fio::Handle h, std::int64_t from, std::int64_t to, text::external::Transcoder& conv,
               const text::external::Sink& sink, ProgressLine& progress, std::string_view phase) {
  std::string buf(1 << 20, '\0');
  for (std::int64_t pos = from; pos < to;) {
    progress.Update(phase, static_cast<std::uint64_t>(pos - from), static_cast<std::uint64_t>(to - from), 0);
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()), to - pos));
    errno = 0;
    const std::int64_t got = fio::ReadAt(h, pos, buf.data(), want);
    if (got <= 0) return false;
    if (!conv.Put(std::string_view(buf.data(), static_cast<std::size_t>(got)), sink)) return false;
    pos += got;
  }
  return conv.Finish();
}

bool BelowThirtyHex(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x30) return false;
  return true;
}

// External mode on bytes [begin, size) of an open file; `inputName` names it
// in messages. GBK is processed byte for byte. Other encodings go through
// GB18030 as in memory: converted into a temporary file, processed there,
// and converted back on the way out. UTF-8 is processed byte for byte when
// that gives the same cuts (a separator of bytes below 0x30, which are never
// part of a character in either encoding), after a pass that checks it.
// `asBatch` writes the result as a batch writes a file's: UTF-8 and UTF-16
// with their mark, no final line break restored, and text read raw without
// a final 0x1A and refused when it holds a NUL.
int ProcessExternal(fio::Handle h, std::int64_t begin, std::int64_t size, const std::string& inputName,
                    const StreamRequest& request, text::FixedOptions& options, Destination& dest,
                    ProgressLine& progress, bool asBatch = false) {
  // In a batch every failure names the file it stopped, as the batch's own
  // lines do.
  auto fail = [&](const std::string& message) {
    return Fail(asBatch && message.find(inputName) == std::string::npos ? inputName + ": " + message : message);
  };
  namespace ext = text::external;
  const std::string head = BytesAt(h, begin, static_cast<std::size_t>(std::min<std::int64_t>(size - begin, 1 << 16)));
  const text::ContentStart at = text::EncodingOfBytes(head, options.encoding);
  const std::string tempWhere = "cannot write a temporary file in '" + ToTerminal(request.tempDir) + "': ";
  const bool plainCuts = BelowThirtyHex(options.Separator());
  const std::string_view utf8Mark = text::MarkOfEncoding(text::kEncodingUtf8);

  int code = at.code;
  bool hadMark = at.start > 0;
  std::int64_t contentStart = begin + static_cast<std::int64_t>(at.start);
  SpoolFile converted;  // the content in GB18030, when it is converted
  bool convertsAsUtf8 = false;  // ANSI text that reads as UTF-8 is not read raw
  // Converts the input from `from` on into `converted`; `spoolFailed` tells
  // a refused temporary-file write from a failed read.
  bool spoolFailed = false;
  auto transcodeToSpool = [&](ext::Transcoder& dec, std::int64_t from, const char* phase) {
    spoolFailed = false;
    return Transcode(h, from, size, dec, [&](std::string_view b) {
      if (converted.Append(b)) return true;
      spoolFailed = true;
      return false;
    }, progress, phase);
  };
  auto convertIn = [&](const char* charset, std::int64_t from) -> int {
    ext::Transcoder dec(ext::kProgramCharset, charset);
    if (!dec.ok()) return fail(inputName + ": cannot convert from " + charset + " here");
    if (!converted.Create(request.tempDir))
      return fail("cannot create a temporary file in '" + ToTerminal(request.tempDir) + "': " + ErrnoText());
    const bool ok = transcodeToSpool(dec, from, "converting");
    if (spoolFailed) return fail(tempWhere + ErrnoText());
    if (dec.invalidAt() >= 0)
      return fail(inputName + ": " + text::InvalidTextReason(code, from - begin + dec.invalidAt()));
    if (!ok) return fail("cannot read " + inputName + ": " + ErrnoText());
    if (dec.sawNul()) return fail(inputName + " cannot be read whole as text in its encoding");
    return 0;
  };

  if (code == text::kEncodingAnsi) {
    // In memory, ANSI text that is UTF-8 throughout (with a high byte) is
    // taken as UTF-8, its mark, if any, set apart; that matters here when
    // the cuts could differ or there is a mark.
    const bool marked = head.substr(0, utf8Mark.size()) == utf8Mark;
    if (!plainCuts || marked || asBatch) {
      const std::int64_t from = contentStart + (marked ? static_cast<std::int64_t>(utf8Mark.size()) : 0);
      ext::Transcoder dec(ext::kProgramCharset, "UTF-8");
      if (dec.ok() && converted.Create(request.tempDir)) {
        const bool ok = transcodeToSpool(dec, from, "checking");
        if (spoolFailed) return fail(tempWhere + ErrnoText());
        convertsAsUtf8 = ok && !dec.sawNul();
        if (convertsAsUtf8 && (dec.sawHighByte() || marked)) {
          code = text::kEncodingUtf8;
          hadMark = marked;
        } else {
          converted.Discard();  // GBK after all: processed as it is
        }
      }
    }
  } else if (code == text::kEncodingUtf8 && plainCuts) {
    // Checked, not converted: invalid UTF-8 is refused as in memory.
    ext::Transcoder dec(ext::kProgramCharset, "UTF-8");
    if (!dec.ok()) return fail(inputName + ": cannot convert from UTF-8 here");
    const bool ok = Transcode(h, contentStart, size, dec, [](std::string_view) { return true; }, progress, "checking");
    if (dec.invalidAt() >= 0)
      return fail(inputName + ": " + text::InvalidTextReason(code, contentStart - begin + dec.invalidAt()));
    if (!ok) return fail("cannot read " + inputName + ": " + ErrnoText());
    if (dec.sawNul()) return fail(inputName + " cannot be read whole as text in its encoding");
  } else {
    const char* charset = text::CharsetOfEncoding(code);
    if (!charset) return fail(inputName + ": cannot convert this encoding here");
    if (int failed = convertIn(charset, contentStart)) return failed;
  }

  // What the engine reads, and how its output reaches the destination.
  const bool viaGb = converted.open;
  ext::Input input = viaGb ? ext::Input{converted.file.handle, 0, converted.size} : ext::Input{h, contentStart, size};
  if (asBatch && code == text::kEncodingAnsi && !convertsAsUtf8) {
    // Read raw, as a file's text: a final end-of-file mark is no part of it,
    // and a NUL would cut it short.
    if (input.end > input.start && BytesAt(h, input.end - 1, 1) == "\x1A") --input.end;
    std::string buf(1 << 20, '\0');
    for (std::int64_t pos = input.start; pos < input.end;) {
      const auto want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()),
                                                                        input.end - pos));
      const std::int64_t got = fio::ReadAt(h, pos, buf.data(), want);
      if (got <= 0) return fail("cannot read " + inputName + ": " + ErrnoText());
      if (std::memchr(buf.data(), 0, static_cast<std::size_t>(got))) return fail(inputName + ": cannot be read whole as text");
      pos += got;
    }
  }
  std::unique_ptr<ext::Transcoder> enc;
  if (viaGb) {
    enc = std::make_unique<ext::Transcoder>(text::CharsetOfEncoding(code), ext::kProgramCharset);
    if (!enc->ok()) return fail(inputName + ": cannot convert back to " + text::CharsetOfEncoding(code) + " here");
  }
  bool encodeFailed = false;
  auto write = [&](std::string_view bytes) {
    if (!enc) return dest.Write(bytes);
    if (enc->Put(bytes, [&](std::string_view out) { return dest.Write(out); })) return true;
    encodeFailed = enc->invalidAt() >= 0;
    return false;
  };
  auto writeFailed = [&]() {
    return encodeFailed ? fail("the result cannot be converted back to " + std::string(text::CharsetOfEncoding(code)))
                        : dest.WriteFailed();
  };

  ext::Limits limits{request.memory, request.tempDir, {}};
  limits.progress = [&progress](std::string_view phase, std::uint64_t done, std::uint64_t total,
                                std::uint64_t records) {
    progress.Update(phase, done, total, records,
                    phase == "reading" ? std::string_view() : phase == "writing" ? "records" : "buckets");
  };
  const std::string sep = LineBreakOf(input, options);
  if (!dest.Open()) return 1;
  if (asBatch) {
    // The mark of UTF-8 and UTF-16, whether the source had one or not.
    if (code != text::kEncodingAnsi && code != text::kEncodingBig5 && code != text::kEncodingBig5Hkscs &&
        !dest.Write(text::MarkOfEncoding(code)))
      return dest.WriteFailed();
  } else if (viaGb) {
    if (hadMark && !dest.Write(text::MarkOfEncoding(code))) return dest.WriteFailed();
  } else if (!dest.Write(head.substr(0, at.start))) {
    return dest.WriteFailed();
  }
  auto toDest = [&](std::string_view bytes) { return write(bytes); };

  bool unchanged = false;
  SpoolFile between;  // the de-duplicated text, to be shuffled
  std::string betweenFailed;  // why it could not be written
  ext::Input shuffleInput = input;
  if (options.dedupe) {
    ext::Sink sink = toDest;
    if (options.shuffle) {
      if (!between.Create(request.tempDir))
        return fail("cannot create a temporary file in '" + ToTerminal(request.tempDir) + "': " + ErrnoText());
      sink = [&](std::string_view bytes) {
        if (between.Append(bytes)) return true;
        betweenFailed = tempWhere + ErrnoText();
        return false;
      };
    }
    const ext::Outcome d = ext::Dedupe(input, sep, options.keepFirst, limits, sink);
    // The de-duplicated text waiting for the shuffle is a temporary file too.
    if (!d.ok) return encodeFailed ? writeFailed() : fail(betweenFailed.empty() ? d.error : betweenFailed);
    options.recordsIn += d.recordsIn;
    options.recordsOut += d.recordsOut;
    unchanged = d.unchanged;
    if (between.open) shuffleInput = {between.file.handle, 0, between.size};
  }
  if (options.shuffle) {
    const std::string shuffleSep = options.dedupe ? LineBreakOf(shuffleInput, options) : sep;
    const std::uint64_t seed = request.seed ? *request.seed : std::random_device{}();
    const ext::Outcome s = ext::Shuffle(shuffleInput, shuffleSep, seed, limits, toDest);
    if (!s.ok) return encodeFailed ? writeFailed() : fail(s.error);
    if (!options.dedupe) {
      options.recordsIn += s.recordsIn;
      options.recordsOut += s.recordsOut;
    }
    unchanged = false;
  }
  // A final line break in gives one out, as in memory.
  if (!asBatch && options.lineBreakMode && !unchanged && input.end > input.start &&
      BytesAt(input.handle,
              input.end - static_cast<std::int64_t>(std::min<std::size_t>(sep.size(), input.end - input.start)),
              sep.size()) == sep) {
    if (!write(sep)) return writeFailed();
  }
  if (enc && !enc->Finish()) return fail("the result cannot be converted back to " + std::string(text::CharsetOfEncoding(code)));
  progress.Clear();
  return dest.Commit();
}

// A block of bytes that grows as standard input is read.
struct Block {
  std::unique_ptr<char, decltype(&std::free)> data{nullptr, &std::free};
  std::size_t size = 0, cap = 0;
  bool Reserve(std::size_t want) {
    if (want <= cap) return true;
    char* grown = static_cast<char*>(std::realloc(data.get(), want));
    if (!grown) return false;
    data.release();
    data.reset(grown);
    cap = want;
    // Fresh pages are dear: a large block takes huge ones where it can.
    os::AdviseLargeBlock(grown, want);
    return true;
  }
  std::string_view view() const { return {data ? data.get() : "", size}; }
};

// Reads bytes [begin, end) of a file, and on to its end whatever size the
// system reported, into one block. A large file is read in as many pieces
// side by side as the record engine has parts, so the copying and the page
// faults are shared between the cores. False, with errno, on a read error.
bool ReadWhole(fio::Handle h, std::int64_t begin, std::int64_t end, Block& block) {
  const auto size = static_cast<std::size_t>(std::max<std::int64_t>(end - begin, 0));
  if (!block.Reserve(size + 1)) return false;
  const unsigned parts = text::PartsFor(size / 64);  // worth it from a few megabytes
  std::vector<std::int64_t> got(parts, 0);
  text::RunParts(parts, [&](unsigned p) {
    const std::size_t from = text::PartBegin(size, parts, p), to = text::PartBegin(size, parts, p + 1);
    got[p] = to > from ? fio::ReadAt(h, begin + static_cast<std::int64_t>(from), block.data.get() + from, to - from)
                       : 0;
  });
  for (unsigned p = 0; p < parts; ++p) {
    const std::size_t from = text::PartBegin(size, parts, p), to = text::PartBegin(size, parts, p + 1);
    if (got[p] < 0) return false;
    if (static_cast<std::size_t>(got[p]) < to - from) {
      // The file is shorter than it was: what follows the short piece is not
      // there.
      block.size = from + static_cast<std::size_t>(got[p]);
      return true;
    }
  }
  block.size = size;
  for (;;) {
    if (block.size == block.cap && !block.Reserve(block.cap * 2)) return false;
    const std::int64_t more = fio::ReadAt(h, begin + static_cast<std::int64_t>(block.size),
                                          block.data.get() + block.size, block.cap - block.size);
    if (more < 0) return false;
    if (more == 0) return true;
    block.size += static_cast<std::size_t>(more);
  }
}

// Gives a file's view back when the work on it is done.
struct ViewRelease {
  fio::FileView view;
  explicit ViewRelease(const fio::FileView& v) : view(v) {}
  ViewRelease(const ViewRelease&) = delete;
  ViewRelease& operator=(const ViewRelease&) = delete;
  ~ViewRelease() { fio::ReleaseView(view); }
};

// The in-memory engine needs about three times its input.
constexpr std::uint64_t kInMemoryFactor = 3;

}  // namespace

bool FitsInMemory(std::int64_t bytes, std::uint64_t memory) {
  return bytes < 0 || static_cast<std::uint64_t>(bytes) <= memory / kInMemoryFactor;
}

int ProcessFileExternally(const std::string& path, const std::string& target, const StreamRequest& request,
                          text::FixedOptions& options) {
  const fio::Handle h = fio::Open(path, fio::Access::kRead, fio::Disposition::kOpenExisting, fio::Share::kReadWrite);
  if (h == fio::kNoHandle) return Fail("cannot open '" + ToTerminal(path) + "': " + ErrnoText());
  struct Closer {
    fio::Handle h;
    ~Closer() { fio::Close(h); }
  } closer{h};
  const std::int64_t size = fio::Size(h);
  if (size < 0) return Fail("cannot read '" + ToTerminal(path) + "'");
  Destination dest(target);
  ProgressLine progress(!request.quiet && os::StderrIsTerminal());
  return ProcessExternal(h, 0, size, "'" + ToTerminal(path) + "'", request, options, dest, progress, true);
}

int RunStreamMode(const StreamRequest& request, text::FixedOptions& options) {
  Destination dest(request.output);
  ProgressLine progress(!request.quiet && os::StderrIsTerminal());
  const std::uint64_t fits = request.memory / kInMemoryFactor;

  if (!request.input.empty()) {
    const fio::Handle h = fio::Open(request.input, fio::Access::kRead, fio::Disposition::kOpenExisting,
                                    fio::Share::kReadWrite);
    if (h == fio::kNoHandle) return Fail("cannot open '" + ToTerminal(request.input) + "': " + ErrnoText());
    struct Closer {
      fio::Handle h;
      void Close() {
        fio::Close(h);
        h = fio::kNoHandle;
      }
      ~Closer() { Close(); }
    } closer{h};
    dest.ReleaseInputBeforeCommit([&closer] { closer.Close(); });
    const std::int64_t size = fio::Size(h);
    if (size < 0) return Fail("cannot read '" + ToTerminal(request.input) + "'");
    if (static_cast<std::uint64_t>(size) > fits)
      return ProcessExternal(h, 0, size, "'" + ToTerminal(request.input) + "'", request, options, dest, progress);
    // Viewed in place where the system allows it (not when the result
    // replaces a file: a viewed file cannot be replaced, and it may be this
    // one); else read to the end, whatever size the system reports.
    std::optional<fio::FileView> view;
    if (request.output.empty()) view = fio::ViewForReading(h, 0, static_cast<std::size_t>(size));
    if (view && BytesAt(h, size, 1).empty()) {
      const ViewRelease release{*view};
      return ProcessInMemory({view->data, view->size}, "'" + ToTerminal(request.input) + "'", options, dest);
    } else if (view) {
      fio::ReleaseView(*view);
    }
    Block bytes;
    if (!ReadWhole(h, 0, size, bytes)) return Fail("cannot read '" + ToTerminal(request.input) + "': " + ErrnoText());
    return ProcessInMemory(bytes.view(), "'" + ToTerminal(request.input) + "'", options, dest);
  }

  // A regular file that fits is viewed in place where the system allows it
  // (not when the result replaces a file, as above).
  if (std::optional<fio::FileView> view = request.output.empty() ? os::ViewStdinToEnd(fits) : std::nullopt) {
    const ViewRelease release{*view};
    return ProcessInMemory({view->data, view->size}, "standard input", options, dest);
  }

  // Standard input that is a regular file too large for memory is read in
  // place, from where it stands; one that fits is read as a named file is,
  // in pieces side by side.
  if (const std::optional<os::StdinFile> f = os::StdinAsRegularFile()) {
    const fio::Handle h = fio::Open(f->path, fio::Access::kRead, fio::Disposition::kOpenExisting,
                                    fio::Share::kReadWrite);
    if (h != fio::kNoHandle) {
      struct Closer {
        fio::Handle h;
        ~Closer() { fio::Close(h); }
      } closer{h};
      const std::int64_t size = fio::Size(h);
      if (size > f->offset && static_cast<std::uint64_t>(size - f->offset) > fits)
        return ProcessExternal(h, f->offset, size, "standard input", request, options, dest, progress);
      if (size >= f->offset) {
        Block bytes;
        if (!ReadWhole(h, f->offset, size, bytes)) return Fail("cannot read standard input: " + ErrnoText());
        os::SeekStdin(f->offset + static_cast<std::int64_t>(bytes.size));
        return ProcessInMemory(bytes.view(), "standard input", options, dest);
      }
    }
  }

  // Standard input is read into memory while it fits; the rest goes with
  // what was read to a temporary file, processed in external mode. A regular
  // file is read into one block of its size (and a spare byte to see its
  // end), never grown by copying.
  Block block;
  if (const std::optional<std::size_t> left = os::PrepareStdinForReading(); left && *left < fits)
    block.Reserve(*left + 1);
  for (;;) {
    if (block.size == block.cap && !block.Reserve(block.cap ? block.cap * 2 : 1 << 20))
      return Fail("out of memory reading standard input");
    const std::int64_t got = os::ReadStdinSome(block.data.get() + block.size, block.cap - block.size);
    if (got < 0) return Fail("cannot read standard input: " + ErrnoText());
    if (got == 0) {
      progress.Clear();
      return ProcessInMemory(block.view(), "standard input", options, dest);
    }
    block.size += static_cast<std::size_t>(got);
    progress.Update("reading standard input", block.size, 0, 0);
    if (block.size > fits) break;
  }
  std::optional<os::TempFile> spool = os::CreateTempFile(request.tempDir);
  if (!spool) return Fail("cannot create a temporary file in '" + ToTerminal(request.tempDir) + "': " + ErrnoText());
  struct Discard {
    os::TempFile& f;
    ~Discard() { os::DiscardTempFile(f); }
  } discard{*spool};
  std::int64_t at = 0;
  const std::string where = "cannot write a temporary file in '" + ToTerminal(request.tempDir) + "': ";
  do {
    errno = 0;
    if (!fio::WriteAt(spool->handle, at, block.data.get(), block.size)) return Fail(where + ErrnoText());
    at += static_cast<std::int64_t>(block.size);
    progress.Update("reading standard input", static_cast<std::uint64_t>(at), 0, 0);
    const std::int64_t got = os::ReadStdinSome(block.data.get(), std::min<std::size_t>(block.cap, 8u << 20));
    if (got < 0) return Fail("cannot read standard input: " + ErrnoText());
    block.size = static_cast<std::size_t>(got);
  } while (block.size > 0);
  block = Block();
  return ProcessExternal(spool->handle, 0, at, "standard input", request, options, dest, progress);
}

}  // namespace tl::cli
