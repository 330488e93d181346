#include "text/dedupe.h"

#include <bit>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "runtime/core/message_pump.h"
#include "text/hash.h"
#include "text/pod_vector.h"
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

// Survivors in order, joined: while the result is still empty a kept empty
// record adds nothing and the next kept record gets no separator in front.
Bytes Join(const RecordIndex& records, const std::vector<bool>& keep, std::size_t inputSize,
           std::string_view separator) {
  // The result is never longer than the input.
  Bytes out(inputSize);
  bool started = false;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (!keep[i]) continue;
    std::string_view rec = records[i];
    if (started) {
      out.Append(separator);
      out.Append(rec);
    } else if (!rec.empty()) {
      out.Append(rec);
      started = true;
    }
  }
  out.Finish();
  return out;
}

struct ViewHash {
  std::size_t operator()(std::string_view s) const { return static_cast<std::size_t>(HashBytes(s)); }
};

}  // namespace

std::optional<Bytes> DedupeIfChanged(std::string_view text, std::string_view separator, bool keepFirst,
                                     DedupeCounts* counts) {
  RecordIndex records(text, separator);
  const std::size_t n = records.size();
  if (counts) *counts = {n, n};
  if (n < 2) return std::nullopt;

  // Walk from the end (from the start to keep first occurrences): the first
  // time a record is seen there is the occurrence that survives. Hashes are
  // computed a few records ahead so the table slot is already in cache when
  // it is probed.
  std::vector<bool> keep(n);
  rt::YieldClock clock;
  // The k-th record of the walk.
  auto at = [n, keepFirst](std::size_t k) { return keepFirst ? k : n - 1 - k; };
  if (n >= 0xFFFFFFFFu) {
    // The table keeps 32-bit record numbers; more records than that (over
    // 4 GiB of separators) take the general set instead.
    std::unordered_set<std::string_view, ViewHash> seen;
    for (std::size_t k = 0; k < n; ++k) {
      keep[at(k)] = seen.insert(records[at(k)]).second;
      clock.Step();
    }
    if (counts) counts->out = seen.size();
    return Join(records, keep, text.size(), separator);
  }
  RecordSet set(n / 4 + 16);
  // A three-stage pipeline, so that no step waits on memory: far ahead the
  // hash is computed and its slot fetched; closer, the slot names the record
  // the probe will compare with, whose start is fetched; closer still, that
  // record's bytes are fetched.
  constexpr std::size_t kSlotAhead = 24, kStartAhead = 16, kTextAhead = 8, kRing = 32;
  std::uint32_t ring[kRing];
  auto hash_of = [&](std::size_t k) { return static_cast<std::uint32_t>(HashBytes(records[at(k)])); };
  std::size_t kept = 0;
  for (std::size_t k = 0; k < kSlotAhead && k < n; ++k) {
    ring[k % kRing] = hash_of(k);
    set.Prefetch(ring[k % kRing]);
  }
  for (std::size_t k = 0; k < n; ++k) {
    if (k + kSlotAhead < n) {
      std::uint32_t ahead = hash_of(k + kSlotAhead);
      ring[(k + kSlotAhead) % kRing] = ahead;
      set.Prefetch(ahead);
    }
    if (k + kStartAhead < n) {
      if (std::uint32_t c = set.FirstCandidate(ring[(k + kStartAhead) % kRing])) records.PrefetchStart(c - 1);
    }
    if (k + kTextAhead < n) {
      if (std::uint32_t c = set.FirstCandidate(ring[(k + kTextAhead) % kRing])) records.PrefetchRecord(c - 1);
    }
    const std::size_t i = at(k);
    keep[i] = set.Insert(records, i, records[i], ring[k % kRing]);
    kept += keep[i];
    clock.Step();
  }
  if (counts) counts->out = kept;

  return Join(records, keep, text.size(), separator);
}

Bytes DedupeBytes(std::string_view text, std::string_view separator, bool keepFirst) {
  auto changed = DedupeIfChanged(text, separator, keepFirst);
  return changed ? std::move(*changed) : Bytes(text);
}

}  // namespace tl::text
