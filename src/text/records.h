// Cutting a text into records. A record is a view into the text; the split
// keeps only where each record starts. With a separator of length m between
// consecutive records, record i spans [start[i], start[i + 1] - m), and one
// sentinel start closes the last record.
//
// Rules: an empty text has no records; an empty separator gives the whole
// text as one record; consecutive separators give empty records, a leading
// one an empty first record, a trailing one nothing. A match may only start
// on a character boundary: a byte of 0x80 or above leads a two-byte GBK
// character whose second byte is never a match start, unless the next byte is
// below 0x30 (never a second byte): then the high byte stands alone.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/pod_vector.h"

namespace tl::text {

class RecordIndex {
 public:
  RecordIndex(std::string_view text, std::string_view separator);

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::string_view operator[](std::size_t i) const {  // 0-based
    std::size_t b = Start(i);
    return text_.substr(b, Start(i + 1) - sep_ - b);
  }
  std::string_view text() const { return text_; }

  // Hints for random walks over the records (the shuffle's gather).
  void PrefetchStart(std::size_t i) const {
    if (wide_)
      __builtin_prefetch(&starts64_[i]);
    else
      __builtin_prefetch(&starts32_[i]);
  }
  void PrefetchRecord(std::size_t i) const { __builtin_prefetch(text_.data() + Start(i)); }
  std::string_view separator() const { return text_.empty() ? std::string_view() : sep_view_; }

 private:
  std::size_t Start(std::size_t i) const { return wide_ ? starts64_[i] : starts32_[i]; }
  template <typename Off>
  void Split(PodVector<Off>& starts);
  template <typename Off>
  void SplitAtEveryOccurrence(PodVector<Off>& starts);

  std::string_view text_;
  std::string_view sep_view_;
  std::size_t sep_ = 0;
  std::size_t count_ = 0;
  bool wide_ = false;
  // 32-bit offsets halve the index for every text under 4 GiB.
  PodVector<std::uint32_t> starts32_;
  PodVector<std::uint64_t> starts64_;
};

}  // namespace tl::text
