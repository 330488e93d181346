// An owned run of bytes on the runtime heap with an explicit length. The
// record engine works on views and may meet NUL bytes in raw input (the
// command-line tool); this keeps them instead of cutting the text short.
// The block is always NUL-terminated so a NUL-free result can be handed on as
// a runtime text without a copy.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/core/value.h"

namespace tl::text {

class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::size_t capacity);
  explicit Bytes(std::string_view copy);
  Bytes(Bytes&& o) noexcept
      : p_(std::exchange(o.p_, nullptr)), size_(std::exchange(o.size_, 0)), cap_(std::exchange(o.cap_, 0)) {}
  Bytes& operator=(Bytes&& o) noexcept {
    std::swap(p_, o.p_);
    std::swap(size_, o.size_);
    std::swap(cap_, o.cap_);
    return *this;
  }
  Bytes(const Bytes&) = delete;
  Bytes& operator=(const Bytes&) = delete;
  ~Bytes() { rt::Release(p_); }

  void Append(std::string_view s) {
    // Callers size the block up front; appending past it is a logic error.
    std::char_traits<char>::copy(p_ + size_, s.data(), s.size());
    size_ += s.size();
  }
  // For callers that write the bytes themselves, within the capacity: the
  // start of the block, and the length written.
  char* data() { return p_; }
  void SetSize(std::size_t size) { size_ = size; }
  // Terminates the block, returns the bytes and gives the memory back if the
  // block was sized generously.
  void Finish();

  std::string_view view() const { return {p_ ? p_ : "", size_}; }
  std::size_t size() const { return size_; }
  // Hands the block over as a runtime text (null when empty). Bytes after an
  // embedded NUL would be invisible to a text; callers pass NUL-free input.
  rt::Text TakeText();

 private:
  char* p_ = nullptr;
  std::size_t size_ = 0;
  std::size_t cap_ = 0;
};

}  // namespace tl::text
