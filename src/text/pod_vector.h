// A growable array of trivially copyable values on the runtime heap. Unlike
// std::vector it does not zero what it is about to overwrite, and large
// arrays get huge pages from the heap: the record engine keeps a few entries
// per record, so for millions of records both matter.
#pragma once
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "runtime/core/heap.h"

namespace tl::text {

template <typename T>
class PodVector {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  PodVector() = default;
  PodVector(const PodVector&) = delete;
  PodVector& operator=(const PodVector&) = delete;
  PodVector(PodVector&& o) noexcept
      : p_(std::exchange(o.p_, nullptr)), size_(std::exchange(o.size_, 0)), cap_(std::exchange(o.cap_, 0)) {}
  PodVector& operator=(PodVector&& o) noexcept {
    std::swap(p_, o.p_);
    std::swap(size_, o.size_);
    std::swap(cap_, o.cap_);
    return *this;
  }
  ~PodVector() { rt::Release(p_); }

  // `n` elements whose values are left for the caller to write.
  static PodVector Uninitialized(std::size_t n) {
    PodVector v;
    v.reserve(n);
    v.size_ = n;
    return v;
  }
  static PodVector Zeroed(std::size_t n) {
    PodVector v = Uninitialized(n);
    if (n) std::memset(v.p_, 0, n * sizeof(T));
    return v;
  }

  void reserve(std::size_t n) {
    if (n <= cap_) return;
    p_ = static_cast<T*>(rt::Reallocate(p_, n * sizeof(T)));
    cap_ = n;
  }
  void push_back(T v) {
    if (size_ == cap_) reserve(cap_ ? cap_ * 2 : 16);
    p_[size_++] = v;
  }
  void clear() { size_ = 0; }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return p_; }
  const T* data() const { return p_; }
  T& operator[](std::size_t i) { return p_[i]; }
  const T& operator[](std::size_t i) const { return p_[i]; }

 private:
  T* p_ = nullptr;
  std::size_t size_ = 0;
  std::size_t cap_ = 0;
};

}  // namespace tl::text
