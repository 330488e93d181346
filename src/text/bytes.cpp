#include "text/bytes.h"

namespace tl::text {

Bytes::Bytes(std::size_t capacity) : p_(static_cast<char*>(rt::Allocate(capacity + 1))), cap_(capacity) {}

Bytes::Bytes(std::string_view copy) : Bytes(copy.size()) {
  Append(copy);
  Finish();
}

void Bytes::Finish() {
  if (!p_) return;
  // Shrinking a large block returns untouched pages; small blocks stay.
  if (cap_ - size_ > 4096 && cap_ - size_ > size_ / 4) {
    p_ = static_cast<char*>(rt::Reallocate(p_, size_ + 1));
    cap_ = size_;
  }
  p_[size_] = '\0';
}

rt::Text Bytes::TakeText() {
  char* p = std::exchange(p_, nullptr);
  std::size_t n = std::exchange(size_, 0);
  cap_ = 0;
  if (n == 0) {
    rt::Release(p);
    return {};
  }
  p[n] = '\0';
  return rt::Text::Adopt(p);
}

}  // namespace tl::text
