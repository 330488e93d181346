// One source per fuzz target. Built for libFuzzer (make fuzz: clang,
// -DTIDYLINE_LIBFUZZER, one program per target) the macro gives the usual
// LLVMFuzzerTestOneInput; in the normal test build every target registers
// itself under its name, and test_fuzz replays the committed corpus and
// regression inputs through it under whatever sanitizers that build has.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tl::fuzz {

using TargetFn = int (*)(const std::uint8_t* data, std::size_t size);
bool RegisterTarget(const char* name, TargetFn fn);

// The input being replayed (empty under libFuzzer, which names it itself).
inline std::string& CurrentInput() {
  static std::string name;
  return name;
}

// A difference from the reference or a broken invariant: reported like a
// crash, so libFuzzer saves the input and the replay fails loudly.
[[noreturn]] inline void Fail(const char* target, const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "fuzz target %s: %s%s%.*s\n  input: %s\n", target, what, detail.empty() ? "" : ": ",
               static_cast<int>(detail.size() > 400 ? 400 : detail.size()), detail.data(),
               CurrentInput().empty() ? "(libFuzzer)" : CurrentInput().c_str());
  std::abort();
}

// Reads the fuzz input piece by piece; past the end everything is zero/empty.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(reinterpret_cast<const char*>(data)), n_(size) {}
  std::uint8_t Byte() { return n_ ? (--n_, static_cast<std::uint8_t>(*p_++)) : 0; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  // A piece of at most `max` bytes whose length comes from one byte.
  std::string_view Piece(std::size_t max) {
    std::size_t len = Byte();
    if (len > max) len %= (max + 1);
    if (len > n_) len = n_;
    std::string_view s(p_, len);
    p_ += len;
    n_ -= len;
    return s;
  }
  std::string_view Rest() {
    std::string_view s(p_, n_);
    p_ += n_;
    n_ = 0;
    return s;
  }
  bool empty() const { return n_ == 0; }

 private:
  const char* p_;
  std::size_t n_;
};

}  // namespace tl::fuzz

#ifdef TIDYLINE_LIBFUZZER
#define TIDYLINE_FUZZ_TARGET(name) \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#else
#define TIDYLINE_FUZZ_TARGET(name)                                                            \
  static int FuzzTarget_##name(const std::uint8_t* data, std::size_t size);                   \
  [[maybe_unused]] static const bool kRegistered_##name =                                     \
      ::tl::fuzz::RegisterTarget(#name, FuzzTarget_##name);                                   \
  static int FuzzTarget_##name(const std::uint8_t* data, std::size_t size)
#endif
