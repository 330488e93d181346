#include "text/external.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <queue>
#include <random>
#include <utility>
#include <vector>

#include "runtime/os/charset.h"
#include "runtime/os/temp_files.h"
#include "text/hash.h"
#include "text/records.h"

namespace tl::text::external {
namespace {

namespace fio = rt::fileio;

// Thrown inside this file only, to unwind through the passes; the spill
// files remove themselves on the way.
struct Failure {
  std::string message;
};

[[noreturn]] void Fail(std::string message) { throw Failure{std::move(message)}; }

std::string ErrnoText() { return errno ? std::strerror(errno) : "unknown error"; }

// A spill file, written once from the start and then read back.
class Spill {
 public:
  Spill(const Limits& limits, std::size_t bufferSize) : limits_(limits), cap_(std::max<std::size_t>(bufferSize, 256)) {
    std::optional<os::TempFile> f = os::CreateTempFile(limits.tempDir);
    if (!f) Fail("cannot create a temporary file in '" + Folder() + "': " + ErrnoText());
    file_ = std::move(*f);
  }
  Spill(const Spill&) = delete;
  Spill& operator=(const Spill&) = delete;
  ~Spill() { os::DiscardTempFile(file_); }

  void Put(const void* data, std::size_t n) {
    if (buf_.capacity() < cap_) buf_.reserve(cap_);
    if (buf_.size() + n > cap_) Flush();
    if (n >= cap_) {
      WriteOut(data, n);
    } else {
      buf_.append(static_cast<const char*>(data), n);
    }
  }
  void PutNumber(std::uint64_t v) { Put(&v, sizeof v); }
  void PutRecord(std::string_view rec) {
    PutNumber(rec.size());
    Put(rec.data(), rec.size());
  }
  void Flush() {
    if (!buf_.empty()) WriteOut(buf_.data(), buf_.size());
    buf_.clear();
  }
  // Ends writing; the buffer is given back.
  void Finish() {
    Flush();
    std::string().swap(buf_);
  }
  std::int64_t size() const { return written_ + static_cast<std::int64_t>(buf_.size()); }
  fio::Handle handle() const { return file_.handle; }

 private:
  std::string Folder() const { return limits_.tempDir.empty() ? "." : limits_.tempDir; }
  void WriteOut(const void* data, std::size_t n) {
    errno = 0;
    if (!fio::WriteAt(file_.handle, written_, data, n))
      Fail("cannot write a temporary file in '" + Folder() + "': " + ErrnoText());
    written_ += static_cast<std::int64_t>(n);
  }

  const Limits& limits_;
  os::TempFile file_;
  std::size_t cap_;
  std::string buf_;
  std::int64_t written_ = 0;
};

// Sequential reads of bytes [pos, end) of a file, buffered.
class Reader {
 public:
  Reader(fio::Handle h, std::int64_t start, std::int64_t end, std::size_t bufferSize)
      : h_(h), pos_(start), end_(end), cap_(std::max<std::size_t>(bufferSize, 256)) {}

  bool AtEnd() { return at_ == buf_.size() && pos_ >= end_; }
  // Exactly n bytes, or a failure.
  void Get(void* out, std::size_t n) {
    char* dst = static_cast<char*>(out);
    while (n > 0) {
      if (at_ == buf_.size()) Refill();
      const std::size_t take = std::min(n, buf_.size() - at_);
      std::memcpy(dst, buf_.data() + at_, take);
      at_ += take;
      dst += take;
      n -= take;
    }
  }
  std::uint64_t GetNumber() {
    std::uint64_t v;
    Get(&v, sizeof v);
    return v;
  }
  void GetRecord(std::string& rec) {
    rec.resize(GetNumber());
    Get(rec.data(), rec.size());
  }

 private:
  void Refill() {
    if (pos_ >= end_) Fail("a temporary file ended early");
    buf_.resize(static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(cap_), end_ - pos_)));
    errno = 0;
    const std::int64_t got = fio::ReadAt(h_, pos_, buf_.data(), buf_.size());
    if (got <= 0) Fail("cannot read a temporary file: " + ErrnoText());
    buf_.resize(static_cast<std::size_t>(got));
    pos_ += got;
    at_ = 0;
  }

  fio::Handle h_;
  std::int64_t pos_, end_;
  std::size_t cap_;
  std::string buf_;
  std::size_t at_ = 0;
};

Reader ReadBack(Spill& s, std::size_t bufferSize) {
  s.Finish();
  return Reader(s.handle(), 0, s.size(), bufferSize);
}

// Cuts the input into records as RecordIndex cuts the whole text, a piece at
// a time: a cut depends only on the bytes from the previous cut on, so each
// piece is split from a record start and its unfinished last record carried
// into the next piece.
template <typename Fn>
void ForEachRecord(const Input& input, std::string_view separator, std::size_t pieceSize, const Limits& limits,
                   std::string_view phase, Fn&& fn) {
  std::string buf;
  std::int64_t pos = input.start;
  std::uint64_t count = 0;
  for (;;) {
    if (limits.progress)
      limits.progress(phase, static_cast<std::uint64_t>(pos - input.start),
                      static_cast<std::uint64_t>(input.end - input.start), count);
    const std::size_t old = buf.size();
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(pieceSize),
                                                                      input.end - pos));
    buf.resize(old + want);
    if (want > 0) {
      errno = 0;
      const std::int64_t got = fio::ReadAt(input.handle, pos, buf.data() + old, want);
      if (got < 0) Fail("cannot read the input: " + ErrnoText());
      if (got == 0) Fail("the input became shorter while it was read");
      buf.resize(old + static_cast<std::size_t>(got));
      pos += got;
    }
    const bool last = pos >= input.end;
    RecordIndex records(buf, separator);
    std::size_t consumed = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const std::string_view rec = records[i];
      const std::size_t recEnd = static_cast<std::size_t>(rec.data() - buf.data()) + rec.size();
      if (!last && recEnd == buf.size()) break;  // not finished yet
      fn(rec);
      ++count;
      consumed = std::min(recEnd + separator.size(), buf.size());
    }
    if (last) return;
    buf.erase(0, consumed);
  }
}

std::uint64_t Mix(std::uint64_t h, unsigned depth) {
  h += 0x9E3779B97F4A7C15ull * (depth + 1);
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

// Buffered output with the join rules of de-duplication and shuffle.
class Output {
 public:
  Output(const Sink& sink, std::string_view separator, bool skipLeadingEmpty)
      : sink_(sink), sep_(separator), skipLeadingEmpty_(skipLeadingEmpty) {
    buf_.reserve(kBuffer);
  }
  void Record(std::string_view rec) {
    if (started_) {
      Put(sep_);
    } else if (skipLeadingEmpty_ && rec.empty()) {
      return;  // a kept empty record adds nothing while the result is empty
    }
    started_ = true;
    Put(rec);
  }
  void Put(std::string_view bytes) {
    if (buf_.size() + bytes.size() > kBuffer) Flush();
    if (bytes.size() >= kBuffer) {
      if (!sink_(bytes)) Fail("cannot write the output: " + ErrnoText());
    } else {
      buf_.append(bytes);
    }
  }
  void Flush() {
    if (!buf_.empty() && !sink_(buf_)) Fail("cannot write the output: " + ErrnoText());
    buf_.clear();
  }

 private:
  static constexpr std::size_t kBuffer = 64 << 10;
  const Sink& sink_;
  std::string_view sep_;
  bool skipLeadingEmpty_;
  bool started_ = false;
  std::string buf_;
};

void CopyInput(const Input& input, Output& out) {
  std::string buf(1 << 16, '\0');
  for (std::int64_t pos = input.start; pos < input.end;) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()),
                                                                      input.end - pos));
    const std::int64_t got = fio::ReadAt(input.handle, pos, buf.data(), want);
    if (got <= 0) Fail("cannot read the input: " + ErrnoText());
    out.Put(std::string_view(buf.data(), static_cast<std::size_t>(got)));
    pos += got;
  }
  out.Flush();
}

// How the budget is shared out.
struct Plan {
  std::size_t tableLimit;   // bytes of one bucket held in memory
  std::size_t pieceSize;    // input read at a time
  std::size_t spillBuffer;  // per bucket being written

  static Plan Of(const Limits& limits, std::size_t buckets) {
    const std::size_t memory = static_cast<std::size_t>(std::max<std::uint64_t>(limits.memory, 4096));
    Plan p;
    p.tableLimit = memory / 2;
    p.pieceSize = std::clamp<std::size_t>(memory / 8, 256, 8u << 20);
    p.spillBuffer = std::clamp<std::size_t>(memory / 4 / std::max<std::size_t>(buckets, 1), 256, 4u << 20);
    return p;
  }
};

constexpr std::size_t kMaxBuckets = 256;
constexpr std::size_t kSplitBuckets = 16;
constexpr unsigned kMaxDepth = 8;
// Bookkeeping per distinct record held in a bucket's table.
constexpr std::size_t kEntryCost = 120;  // its slot (twice, while the table grows) and block space

std::size_t BucketsFor(std::int64_t bytes, std::size_t target) {
  const std::uint64_t n = static_cast<std::uint64_t>(bytes) / std::max<std::size_t>(target, 1) + 1;
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(n, 1, kMaxBuckets));
}

// ---- de-duplication ----------------------------------------------------

// A run: bytes [begin, end) of a spill file, entries sorted by number.
struct Run {
  std::int64_t begin = 0;
  std::int64_t end = 0;
};

// Distinct records of a bucket with the position of the kept occurrence:
// open addressing over full hashes, the bytes in large blocks (no
// allocation per record). Equal hashes are confirmed by the bytes.
class KeyTable {
 public:
  struct Slot {
    std::uint64_t hash = 0;
    std::uint64_t seq = 0;
    const char* bytes = nullptr;
    std::size_t size = 0;
    bool used = false;
  };

  std::size_t size() const { return count_; }

  Slot* Find(std::string_view rec, std::uint64_t h) {
    if (slots_.empty()) return nullptr;
    for (std::size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (!s.used) return nullptr;
      if (s.hash == h && s.size == rec.size() && std::memcmp(s.bytes, rec.data(), rec.size()) == 0) return &s;
    }
  }

  void Insert(std::string_view rec, std::uint64_t h, std::uint64_t seq) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    Slot s{h, seq, Store(rec), rec.size(), true};
    Place(s);
    ++count_;
  }

  std::vector<std::pair<std::uint64_t, std::string_view>> Entries() const {
    std::vector<std::pair<std::uint64_t, std::string_view>> out;
    out.reserve(count_);
    for (const Slot& s : slots_)
      if (s.used) out.emplace_back(s.seq, std::string_view(s.bytes, s.size));
    return out;
  }

 private:
  static constexpr std::size_t kBlock = 1 << 20;

  const char* Store(std::string_view rec) {
    if (rec.empty()) return "";
    if (rec.size() > kBlock / 4) {  // a large record gets a block of its own
      blocks_.push_back(std::make_unique<char[]>(rec.size()));
      std::memcpy(blocks_.back().get(), rec.data(), rec.size());
      return blocks_.back().get();
    }
    if (!current_ || left_ < rec.size()) {
      blocks_.push_back(std::make_unique<char[]>(kBlock));
      current_ = blocks_.back().get();
      left_ = kBlock;
    }
    char* at = current_;
    std::memcpy(at, rec.data(), rec.size());
    current_ += rec.size();
    left_ -= rec.size();
    return at;
  }

  void Place(const Slot& s) {
    std::size_t i = s.hash & mask_;
    while (slots_[i].used) i = (i + 1) & mask_;
    slots_[i] = s;
  }

  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    mask_ = slots_.size() - 1;
    for (const Slot& s : old)
      if (s.used) Place(s);
  }

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* current_ = nullptr;
  std::size_t left_ = 0;
};

class Deduper {
 public:
  Deduper(const Limits& limits, bool keepFirst) : limits_(limits), keepFirst_(keepFirst) {}

  // Entries of a bucket: record number, then the record.
  void Bucket(Spill& spill, unsigned depth) {
    TryInMemory(spill, depth, Plan::Of(limits_, kSplitBuckets));
  }

  // Each bucket's survivors, in input order, as a segment of one file: as
  // many runs as buckets, but a single descriptor.
  std::unique_ptr<Spill>& store() { return store_; }
  std::vector<Run>& runs() { return runs_; }

 private:
  // Keeps one occurrence per distinct record; false (nothing done) when the
  // distinct records outgrow the budget and the bucket can still be split,
  // which is then done.
  bool TryInMemory(Spill& spill, unsigned depth, const Plan& plan) {
    KeyTable table;
    std::size_t used = 0;
    Reader in = ReadBack(spill, plan.pieceSize);
    std::string rec;
    while (!in.AtEnd()) {
      const std::uint64_t seq = in.GetNumber();
      in.GetRecord(rec);
      const std::uint64_t h = HashBytes(rec);
      if (KeyTable::Slot* hit = table.Find(rec, h)) {
        if (!keepFirst_) hit->seq = seq;  // entries come in input order
        continue;
      }
      used += rec.size() + kEntryCost;
      if (used > plan.tableLimit && depth < kMaxDepth && table.size() > 0) {
        table = KeyTable();
        Split(spill, depth + 1);
        return false;
      }
      table.Insert(rec, h, seq);
    }
    // The views point into the table's blocks, kept until the run is written.
    std::vector<std::pair<std::uint64_t, std::string_view>> kept = table.Entries();
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!store_) store_ = std::make_unique<Spill>(limits_, plan.spillBuffer);
    Run run{store_->size(), 0};
    for (const auto& [seq, r] : kept) {
      store_->PutNumber(seq);
      store_->PutRecord(r);
    }
    run.end = store_->size();
    runs_.push_back(run);
    return true;
  }

  void Split(Spill& spill, unsigned depth) {
    const Plan plan = Plan::Of(limits_, kSplitBuckets);
    std::vector<std::unique_ptr<Spill>> parts;
    for (std::size_t i = 0; i < kSplitBuckets; ++i) parts.push_back(std::make_unique<Spill>(limits_, plan.spillBuffer));
    {
      Reader in = ReadBack(spill, plan.pieceSize);
      std::string rec;
      while (!in.AtEnd()) {
        const std::uint64_t seq = in.GetNumber();
        in.GetRecord(rec);
        Spill& part = *parts[Mix(HashBytes(rec), depth) % kSplitBuckets];
        part.PutNumber(seq);
        part.PutRecord(rec);
      }
    }
    for (auto& part : parts) {
      Bucket(*part, depth);
      part.reset();  // its survivors are in a run now
    }
  }

  const Limits& limits_;
  bool keepFirst_;
  std::unique_ptr<Spill> store_;
  std::vector<Run> runs_;
};

// Merges runs sorted by record number into one sequence, calling fn for each
// (number, record) in order.
template <typename Fn>
void MergeRuns(Spill& store, const std::vector<Run>& runs, std::size_t bufferSize, Fn&& fn) {
  struct Head {
    std::uint64_t seq;
    std::size_t run;
    bool operator>(const Head& o) const { return seq > o.seq; }
  };
  store.Flush();
  std::vector<Reader> readers;
  std::vector<std::string> current(runs.size());
  std::priority_queue<Head, std::vector<Head>, std::greater<>> heap;
  readers.reserve(runs.size());
  for (std::size_t i = 0; i < runs.size(); ++i) {
    readers.emplace_back(store.handle(), runs[i].begin, runs[i].end, bufferSize);
    if (!readers[i].AtEnd()) {
      const std::uint64_t seq = readers[i].GetNumber();
      readers[i].GetRecord(current[i]);
      heap.push({seq, i});
    }
  }
  while (!heap.empty()) {
    const Head h = heap.top();
    heap.pop();
    fn(h.seq, std::string_view(current[h.run]));
    if (!readers[h.run].AtEnd()) {
      const std::uint64_t seq = readers[h.run].GetNumber();
      readers[h.run].GetRecord(current[h.run]);
      heap.push({seq, h.run});
    }
  }
}

// ---- shuffle ---------------------------------------------------------------

class Shuffler {
 public:
  Shuffler(const Limits& limits, std::uint64_t seed, Output& out) : limits_(limits), gen_(seed), out_(out) {}

  std::uint64_t Below(std::uint64_t n) {
    // Rejection keeps every value equally likely.
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    for (;;) {
      const std::uint64_t v = gen_();
      if (v < limit) return v % n;
    }
  }

  // Entries of a bucket: the records alone.
  void Bucket(Spill& spill, unsigned depth) {
    const Plan plan = Plan::Of(limits_, kSplitBuckets);
    if (static_cast<std::size_t>(spill.size()) > plan.tableLimit && depth < kMaxDepth) {
      std::vector<std::unique_ptr<Spill>> parts;
      for (std::size_t i = 0; i < kSplitBuckets; ++i)
        parts.push_back(std::make_unique<Spill>(limits_, plan.spillBuffer));
      {
        Reader in = ReadBack(spill, plan.pieceSize);
        std::string rec;
        while (!in.AtEnd()) {
          in.GetRecord(rec);
          parts[Below(kSplitBuckets)]->PutRecord(rec);
        }
      }
      for (auto& part : parts) {
        Bucket(*part, depth + 1);
        part.reset();
      }
      return;
    }
    // One block for the bucket's bytes, records as offsets into it.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(spill.size()));
    std::vector<std::pair<std::size_t, std::size_t>> recs;
    {
      Reader in = ReadBack(spill, plan.pieceSize);
      std::string rec;
      while (!in.AtEnd()) {
        in.GetRecord(rec);
        recs.emplace_back(bytes.size(), rec.size());
        bytes += rec;
      }
    }
    for (std::size_t i = recs.size(); i > 1; --i) std::swap(recs[i - 1], recs[Below(i)]);
    for (const auto& [at, len] : recs) out_.Record(std::string_view(bytes).substr(at, len));
  }

 private:
  const Limits& limits_;
  std::mt19937_64 gen_;
  Output& out_;
};

}  // namespace

struct Transcoder::State {
  rt::CharsetConverter conv;
  std::string out;
  State(std::string_view to, std::string_view from) : conv(std::string(to), std::string(from)) {}
};

Transcoder::Transcoder(std::string_view to, std::string_view from) : state_(new State(to, from)) {}
Transcoder::~Transcoder() { delete state_; }
bool Transcoder::ok() const { return state_->conv.ok(); }

bool Transcoder::Put(std::string_view bytes, const Sink& sink) {
  if (invalidAt_ >= 0) return false;
  for (unsigned char c : bytes) {
    if (c >= 0x80) {
      sawHighByte_ = true;
      break;
    }
  }
  std::string joined;
  if (!carry_.empty()) {
    joined = carry_ + std::string(bytes);
    bytes = joined;
  }
  const char* in = bytes.data();
  std::size_t inLeft = bytes.size();
  std::string& buf = state_->out;
  for (;;) {
    buf.resize(std::max<std::size_t>(inLeft * 2 + 64, 1 << 16));
    char* out = buf.data();
    std::size_t outLeft = buf.size();
    const auto status = state_->conv.Convert(in, inLeft, out, outLeft);
    const std::string_view produced(buf.data(), buf.size() - outLeft);
    if (produced.find('\0') != std::string_view::npos) sawNul_ = true;
    if (!produced.empty() && !sink(produced)) return false;
    if (status == rt::CharsetConverter::Status::kOutputFull) continue;
    const auto used = static_cast<std::int64_t>(in - bytes.data());
    if (status == rt::CharsetConverter::Status::kInvalid) {
      invalidAt_ = consumed_ + used;
      return false;
    }
    // The rest, if any, starts a character the next piece completes.
    carry_.assign(in, inLeft);
    consumed_ += used;
    return true;
  }
}

bool Transcoder::Finish() {
  if (invalidAt_ < 0 && !carry_.empty()) invalidAt_ = consumed_;
  return invalidAt_ < 0;
}

LineBreaks ScanLineBreaks(const Input& input) {
  LineBreaks r;
  std::string buf(1 << 16, '\0');
  char prev = 0;
  for (std::int64_t pos = input.start; pos < input.end;) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()),
                                                                      input.end - pos));
    const std::int64_t got = fio::ReadAt(input.handle, pos, buf.data(), want);
    if (got <= 0) return r;
    const std::string_view piece(buf.data(), static_cast<std::size_t>(got));
    for (std::size_t at = piece.find('\n'); at != std::string_view::npos; at = piece.find('\n', at + 1)) {
      r.lf = true;
      if ((at > 0 ? piece[at - 1] : prev) == '\r') {
        r.crlf = true;
        r.ok = true;
        return r;  // nothing more to learn
      }
    }
    prev = piece.back();
    pos += got;
  }
  r.ok = true;
  return r;
}

Outcome Dedupe(const Input& input, std::string_view separator, bool keepFirst, const Limits& limits, const Sink& sink) {
  Outcome r;
  try {
    Output out(sink, separator, true);
    if (separator.empty()) {
      // The whole input is one record, which stays as it is.
      r.recordsIn = r.recordsOut = input.end > input.start ? 1 : 0;
      r.unchanged = true;
      CopyInput(input, out);
      r.ok = true;
      return r;
    }
    const Plan plan0 = Plan::Of(limits, 1);
    const std::size_t buckets = BucketsFor(input.end - input.start, plan0.tableLimit / 2);
    const Plan plan = Plan::Of(limits, buckets);
    Deduper deduper(limits, keepFirst);
    {
      std::vector<std::unique_ptr<Spill>> parts;
      for (std::size_t i = 0; i < buckets; ++i) parts.push_back(std::make_unique<Spill>(limits, plan.spillBuffer));
      std::uint64_t seq = 0;
      ForEachRecord(input, separator, plan.pieceSize, limits, "reading", [&](std::string_view rec) {
        Spill& part = *parts[Mix(HashBytes(rec), 0) % buckets];
        part.PutNumber(seq++);
        part.PutRecord(rec);
      });
      r.recordsIn = seq;
      if (seq < 2) {
        r.recordsOut = seq;
        r.unchanged = true;
        parts.clear();
        CopyInput(input, out);
        r.ok = true;
        return r;
      }
      for (std::size_t i = 0; i < parts.size(); ++i) {
        if (limits.progress) limits.progress("comparing", i, parts.size(), seq);
        deduper.Bucket(*parts[i], 0);
        parts[i].reset();
      }
    }
    // Few runs at a time keep the descriptors and read buffers bounded.
    constexpr std::size_t kFanIn = 64;
    std::unique_ptr<Spill> store = std::move(deduper.store());
    std::vector<Run> runs = std::move(deduper.runs());
    while (runs.size() > kFanIn) {
      // Merge groups of runs into the runs of a fresh file.
      auto next = std::make_unique<Spill>(limits, plan.spillBuffer);
      std::vector<Run> merged;
      for (std::size_t at = 0; at < runs.size(); at += kFanIn) {
        const std::vector<Run> group(runs.begin() + static_cast<std::ptrdiff_t>(at),
                                     runs.begin() + static_cast<std::ptrdiff_t>(std::min(at + kFanIn, runs.size())));
        Run run{next->size(), 0};
        MergeRuns(*store, group, Plan::Of(limits, kFanIn).spillBuffer, [&](std::uint64_t seq, std::string_view rec) {
          next->PutNumber(seq);
          next->PutRecord(rec);
        });
        run.end = next->size();
        merged.push_back(run);
      }
      store = std::move(next);
      runs = std::move(merged);
    }
    std::uint64_t kept = 0;
    MergeRuns(*store, runs, Plan::Of(limits, runs.size()).spillBuffer, [&](std::uint64_t seq, std::string_view rec) {
      if (limits.progress && (kept & 0xFFFF) == 0) limits.progress("writing", seq, r.recordsIn, kept);
      ++kept;
      out.Record(rec);
    });
    out.Flush();
    r.recordsOut = kept;
    r.ok = true;
  } catch (const Failure& f) {
    r.error = f.message;
  }
  return r;
}

Outcome Shuffle(const Input& input, std::string_view separator, std::uint64_t seed, const Limits& limits,
                const Sink& sink) {
  Outcome r;
  if (separator.empty()) separator = "\r\n";
  try {
    Output out(sink, separator, false);
    const Plan plan0 = Plan::Of(limits, 1);
    const std::size_t buckets = BucketsFor(input.end - input.start, plan0.tableLimit / 2);
    const Plan plan = Plan::Of(limits, buckets);
    Shuffler shuffler(limits, seed, out);
    std::vector<std::unique_ptr<Spill>> parts;
    for (std::size_t i = 0; i < buckets; ++i) parts.push_back(std::make_unique<Spill>(limits, plan.spillBuffer));
    std::uint64_t n = 0;
    ForEachRecord(input, separator, plan.pieceSize, limits, "reading", [&](std::string_view rec) {
      parts[shuffler.Below(buckets)]->PutRecord(rec);
      ++n;
    });
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (limits.progress) limits.progress("shuffling", i, parts.size(), n);
      shuffler.Bucket(*parts[i], 0);
      parts[i].reset();
    }
    out.Flush();
    r.recordsIn = r.recordsOut = n;
    r.ok = true;
  } catch (const Failure& f) {
    r.error = f.message;
  }
  return r;
}

}  // namespace tl::text::external
