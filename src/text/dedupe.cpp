#include "text/dedupe.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "runtime/core/message_pump.h"
#include "text/hash.h"
#include "text/pod_vector.h"
#include "text/parallel.h"
#include "text/records.h"

namespace tl::text {
namespace {

// Open addressing with linear probing. A slot holds the record's 32-bit hash
// (upper half) and its index + 1 (lower half; 0 marks an empty slot), so most
// probes are settled without touching the record bytes, and the table can
// grow without rehashing the records.
class RecordSet {
 public:
  explicit RecordSet(std::size_t expected) {
    std::size_t cap = 1024;
    while (cap < expected * 2) cap <<= 1;
    Resize(cap);
  }

  std::size_t SlotFor(std::uint32_t h) const { return h & mask_; }
  void Prefetch(std::uint32_t h) const { __builtin_prefetch(&slots_[SlotFor(h)]); }
  // The record a probe for `h` will compare with first, if any: 0 or its
  // index + 1. Used only to prefetch, so a slot filled meanwhile is harmless.
  std::uint32_t FirstCandidate(std::uint32_t h) const {
    std::uint64_t slot = slots_[SlotFor(h)];
    return static_cast<std::uint32_t>(slot >> 32) == h ? static_cast<std::uint32_t>(slot) : 0;
  }

  // Inserts record i unless an equal record is present; true when inserted.
  bool Insert(const RecordIndex& records, std::size_t i, std::string_view rec, std::uint32_t h) {
    for (std::size_t s = SlotFor(h);; s = (s + 1) & mask_) {
      std::uint64_t slot = slots_[s];
      if (slot == 0) {
        slots_[s] = (static_cast<std::uint64_t>(h) << 32) | static_cast<std::uint32_t>(i + 1);
        if (++used_ * 2 > slots_size_) Resize(slots_size_ * 2);
        return true;
      }
      if (static_cast<std::uint32_t>(slot >> 32) == h &&
          records[static_cast<std::uint32_t>(slot) - 1] == rec)
        return false;
    }
  }

 private:
  void Resize(std::size_t cap) {
    auto fresh = PodVector<std::uint64_t>::Zeroed(cap);
    std::size_t mask = cap - 1;
    for (std::size_t i = 0; i < slots_size_; ++i) {
      std::uint64_t slot = slots_[i];
      if (!slot) continue;
      std::size_t s = static_cast<std::uint32_t>(slot >> 32) & mask;
      while (fresh[s]) s = (s + 1) & mask;
      fresh[s] = slot;
    }
    slots_ = std::move(fresh);
    slots_size_ = cap;
    mask_ = mask;
  }

  PodVector<std::uint64_t> slots_;
  std::size_t slots_size_ = 0;
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
};

// Which records survive, one bit each.
class KeepBits {
 public:
  explicit KeepBits(std::size_t n) : words_(PodVector<std::uint64_t>::Zeroed(n / 64 + 1)) {}
  void Set(std::size_t i) { words_[i / 64] |= std::uint64_t{1} << (i % 64); }
  bool operator[](std::size_t i) const { return (words_[i / 64] >> (i % 64)) & 1; }
  void Merge(const KeepBits& o) {
    for (std::size_t w = 0; w < words_.size(); ++w) words_[w] |= o.words_[w];
  }

 private:
  PodVector<std::uint64_t> words_;
};

// Survivors in order, joined: while the result is still empty a kept empty
// record adds nothing and the next kept record gets no separator in front.
// With several parts each copies a run of the records to where the bytes
// before it end.
Bytes Join(const RecordIndex& records, const KeepBits& keep, std::size_t inputSize,
           std::string_view separator) {
  const std::size_t n = records.size();
  // The result is never longer than the input.
  Bytes out(inputSize);
  std::size_t first = 0;
  while (first < n && !(keep[first] && !records[first].empty())) ++first;
  if (first == n) {
    out.Finish();
    return out;
  }
  const unsigned parts = PartsFor(n);
  // Part p copies records (begin[p], begin[p + 1]) each after a separator.
  std::vector<std::size_t> begin(parts + 1), bytes(parts + 1, 0);
  for (unsigned p = 0; p <= parts; ++p) begin[p] = first + 1 + PartBegin(n - first - 1, parts, p);
  if (parts > 1) {
    RunParts(parts, [&](unsigned p) {
      std::size_t sum = 0;
      for (std::size_t i = begin[p]; i < begin[p + 1]; ++i)
        if (keep[i]) sum += separator.size() + records[i].size();
      bytes[p + 1] = sum;
    });
  }
  out.Append(records[first]);
  std::vector<std::size_t> at(parts);
  std::size_t pos = out.size();
  for (unsigned p = 0; p < parts; ++p) {
    at[p] = pos;
    pos += bytes[p + 1];
  }
  char* base = out.data();
  std::size_t end = out.size();
  RunParts(parts, [&](unsigned p) {
    char* o = base + at[p];
    for (std::size_t i = begin[p]; i < begin[p + 1]; ++i) {
      if (!keep[i]) continue;
      const std::string_view rec = records[i];
      std::memcpy(o, separator.data(), separator.size());
      o += separator.size();
      std::memcpy(o, rec.data(), rec.size());
      o += rec.size();
    }
    if (p == parts - 1) end = static_cast<std::size_t>(o - base);
  });
  out.SetSize(end);
  out.Finish();
  return out;
}

struct ViewHash {
  std::size_t operator()(std::string_view s) const { return static_cast<std::size_t>(HashBytes(s)); }
};

// Walks the records from the end (from the start to keep first
// occurrences): the first time a record is seen there is the occurrence that
// survives. Only records whose hash falls in this part's share are looked at;
// the walk of every part marks `keep` for its own records. Hashes are computed
// a few records ahead so the table slot is already in cache when it is
// probed. Returns the number kept.
template <typename At>
std::size_t KeepPart(const RecordIndex& records, At at, unsigned part, unsigned parts, KeepBits& keep,
                     rt::YieldClock* clock) {
  const std::size_t n = records.size();
  // The share comes from the hash's upper half, the table slot from its
  // lower half.
  auto share = [parts](std::uint64_t h) { return static_cast<unsigned>(((h >> 32) * parts) >> 32); };
  RecordSet set(n / 4 / parts + 16);
  // A three-stage pipeline, so that no step waits on memory: far ahead the
  // hash is computed and its slot fetched; closer, the slot names the record
  // the probe will compare with, whose start is fetched; closer still, that
  // record's bytes are fetched.
  constexpr std::size_t kSlotAhead = 24, kStartAhead = 16, kTextAhead = 8, kRing = 32;
  std::uint32_t ringHash[kRing];
  std::size_t ringIndex[kRing];
  std::size_t head = 0, tail = 0;  // queued records of this part
  std::size_t k = 0;               // next record of the walk to look at
  std::size_t kept = 0;
  for (;;) {
    while (tail - head <= kSlotAhead && k < n) {
      const std::size_t i = at(k++);
      const std::uint64_t full = HashBytes(records[i]);
      if (parts > 1 && share(full) != part) continue;
      const auto h = static_cast<std::uint32_t>(full);
      ringHash[tail % kRing] = h;
      ringIndex[tail % kRing] = i;
      set.Prefetch(h);
      ++tail;
    }
    if (head == tail) break;
    if (head + kStartAhead < tail) {
      if (std::uint32_t c = set.FirstCandidate(ringHash[(head + kStartAhead) % kRing])) records.PrefetchStart(c - 1);
    }
    if (head + kTextAhead < tail) {
      if (std::uint32_t c = set.FirstCandidate(ringHash[(head + kTextAhead) % kRing])) records.PrefetchRecord(c - 1);
    }
    const std::size_t i = ringIndex[head % kRing];
    const bool first = set.Insert(records, i, records[i], ringHash[head % kRing]);
    if (first) keep.Set(i);
    kept += first;
    ++head;
    if (clock) clock->Step();
  }
  return kept;
}

}  // namespace

std::optional<Bytes> DedupeIfChanged(std::string_view text, std::string_view separator, bool keepFirst,
                                     DedupeCounts* counts) {
  RecordIndex records(text, separator);
  const std::size_t n = records.size();
  if (counts) *counts = {n, n};
  if (n < 2) return std::nullopt;

  rt::YieldClock clock;
  // The k-th record of the walk.
  auto at = [n, keepFirst](std::size_t k) { return keepFirst ? k : n - 1 - k; };
  if (n >= 0xFFFFFFFFu) {
    // The table keeps 32-bit record numbers; more records than that (over
    // 4 GiB of separators) take the general set instead.
    KeepBits keep(n);
    std::unordered_set<std::string_view, ViewHash> seen;
    for (std::size_t k = 0; k < n; ++k) {
      if (seen.insert(records[at(k)]).second) keep.Set(at(k));
      clock.Step();
    }
    if (counts) counts->out = seen.size();
    return Join(records, keep, text.size(), separator);
  }
  // Equal records have equal hashes, so each part keeps the records whose
  // hash falls in its share on its own, in a table of its own, and marks
  // them in a bitmap of its own (one shared map would have the parts
  // writing into the same cache lines all the time); the maps are merged.
  const unsigned parts = PartsFor(n);
  std::vector<KeepBits> keeps;
  keeps.reserve(parts);
  for (unsigned p = 0; p < parts; ++p) keeps.emplace_back(n);
  std::vector<std::size_t> kept(parts, 0);
  RunParts(parts, [&](unsigned part) {
    kept[part] = KeepPart(records, at, part, parts, keeps[part], part == 0 ? &clock : nullptr);
  });
  for (unsigned p = 1; p < parts; ++p) keeps[0].Merge(keeps[p]);
  if (counts) {
    counts->out = 0;
    for (std::size_t k : kept) counts->out += k;
  }
  return Join(records, keeps[0], text.size(), separator);
}

Bytes DedupeBytes(std::string_view text, std::string_view separator, bool keepFirst) {
  auto changed = DedupeIfChanged(text, separator, keepFirst);
  return changed ? std::move(*changed) : Bytes(text);
}

}  // namespace tl::text
