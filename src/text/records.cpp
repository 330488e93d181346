#include "text/records.h"

#include "runtime/core/gbk_view.h"

#include <cstring>
#include <limits>

namespace tl::text {

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

}  // namespace tl::text
