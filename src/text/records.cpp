#include "text/records.h"

#include "runtime/core/gbk_view.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "text/parallel.h"

namespace tl::text {

namespace {

// True when no proper prefix of `sep` is also its suffix: then occurrences
// never overlap, and a left-to-right scan finds every one of them.
bool Borderless(std::string_view sep) {
  for (std::size_t k = 1; k < sep.size(); ++k)
    if (sep.substr(0, k) == sep.substr(sep.size() - k)) return false;
  return true;
}

// Calls fn(q) for every occurrence q of `sep` that starts in [from, to) of
// `text`, in order (the occurrence may run past `to`). Eight bytes at a time:
// short records would spend most of their time entering memchr.
template <typename Fn>
void ForEachOccurrence(std::string_view text, std::string_view sep, std::size_t from, std::size_t to, Fn&& fn) {
  const char* base = text.data();
  const std::size_t n = text.size();
  const std::size_t m = sep.size();
  if (n < m) return;
  to = std::min(to, n - m + 1);
  const char first = sep[0];
  auto check = [&](std::size_t q) {
    if (base[q] == first && (m == 1 || std::memcmp(base + q, sep.data(), m) == 0)) fn(q);
  };
  std::size_t p = from;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(first);
    for (; p + 8 <= to; p += 8) {
      std::uint64_t w;
      std::memcpy(&w, base + p, 8);
      const std::uint64_t x = w ^ pattern;
      // A high bit for each zero byte of x (and maybe a few false ones
      // after a true one, which `check` turns away).
      std::uint64_t hits = (x - kOnes) & ~x & kHighs;
      while (hits) {
        check(p + static_cast<std::size_t>(std::countr_zero(hits)) / 8);
        hits &= hits - 1;
      }
    }
  }
  for (; p < to; ++p) check(p);
}

}  // namespace

RecordIndex::RecordIndex(std::string_view text, std::string_view separator)
    : text_(text), sep_view_(separator), sep_(separator.size()) {
  if (text.empty()) return;
  if (separator.empty()) {
    // One record: the whole text. The sentinel sits where a separator of
    // length 0 would end.
    count_ = 1;
    wide_ = text.size() >= std::numeric_limits<std::uint32_t>::max();
    if (wide_) {
      starts64_.push_back(0);
      starts64_.push_back(text.size());
    } else {
      starts32_.push_back(0);
      starts32_.push_back(static_cast<std::uint32_t>(text.size()));
    }
    return;
  }
  wide_ = text.size() + separator.size() >= std::numeric_limits<std::uint32_t>::max();
  if (wide_)
    Split(starts64_);
  else
    Split(starts32_);
}

template <typename Off>
void RecordIndex::Split(PodVector<Off>& starts) {
  // A separator whose first byte is below 0x30 (CR LF, LF, a comma) never
  // starts inside a two-byte character; when its occurrences cannot overlap
  // either, every occurrence is a cut, wherever the scan starts, and pieces
  // of the text can be scanned side by side.
  if (static_cast<unsigned char>(sep_view_[0]) < 0x30 && Borderless(sep_view_)) {
    SplitAtEveryOccurrence(starts);
    return;
  }
  const char* base = text_.data();
  const std::size_t n = text_.size();
  const std::size_t m = sep_;
  const char first = sep_view_[0];

  // A cheap guess at the record count sizes the index once for typical text.
  starts.reserve(n / 16 + 2);
  std::size_t s = 0;  // start of the current record
  std::size_t p = 0;  // scan position, always on a character boundary
  while (n - p >= m) {
    const void* hit = std::memchr(base + p, first, n - p - m + 1);
    if (!hit) break;
    std::size_t q = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    if (!gbk::AtBoundary(text_, p, q)) {
      // The candidate is the second byte of a character: resume after it.
      p = q + 1;
      continue;
    }
    if (std::memcmp(base + q, sep_view_.data(), m) == 0) {
      starts.push_back(static_cast<Off>(s));
      p = q + m;
      s = p;
    } else {
      // Step over the whole character at q; a lone lead byte at the end
      // steps past the text and ends the scan.
      const bool pair = gbk::IsLead(base[q]) && (q + 1 == n || gbk::CanTrail(base[q + 1]));
      p = q + (pair ? 2 : 1);
      if (p > n) break;
    }
  }
  if (s < n) {
    starts.push_back(static_cast<Off>(s));
    starts.push_back(static_cast<Off>(n + m));
  } else {
    starts.push_back(static_cast<Off>(s));  // sentinel: the last record ended at s - m
  }
  count_ = starts.size() - 1;
}

template <typename Off>
void RecordIndex::SplitAtEveryOccurrence(PodVector<Off>& starts) {
  const std::size_t n = text_.size();
  const std::size_t m = sep_;
  const unsigned parts = PartsFor(n);
  // Each part keeps the starts of the records after the cuts it finds;
  // part 0 writes straight into the index.
  std::vector<PodVector<Off>> more(parts > 1 ? parts - 1 : 0);
  starts.reserve(n / (16 * parts) + 2);
  starts.push_back(0);
  RunParts(parts, [&](unsigned p) {
    PodVector<Off>& out = p == 0 ? starts : more[p - 1];
    if (p > 0) out.reserve(n / (16 * parts) + 2);
    ForEachOccurrence(text_, sep_view_, PartBegin(n, parts, p), PartBegin(n, parts, p + 1),
                      [&](std::size_t q) { out.push_back(static_cast<Off>(q + m)); });
  });
  std::size_t total = starts.size();
  for (const auto& v : more) total += v.size();
  starts.reserve(total + 1);
  for (const auto& v : more) {
    for (std::size_t i = 0; i < v.size(); ++i) starts.push_back(v[i]);
  }
  const std::size_t s = starts[starts.size() - 1];
  if (s < n) starts.push_back(static_cast<Off>(n + m));
  // else the last cut ended the text: its start is the sentinel
  count_ = starts.size() - 1;
}

}  // namespace tl::text
