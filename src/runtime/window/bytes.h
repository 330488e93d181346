// Bounds-checked reading and writing of the template serialisation: 32-bit
// little-endian integers, counted texts, byte blocks, text lists and
// zero-terminated texts. A reader never reads past its span; once a read
// fails every later read fails too, so callers check ok() once at the end.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tl::rt::tpl {

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : data_(bytes) {}

  bool ok() const { return ok_; }
  bool at_end() const { return pos_ == data_.size(); }
  std::size_t remaining() const { return ok_ ? data_.size() - pos_ : 0; }
  std::size_t position() const { return pos_; }
  bool Fail() { return ok_ = false; }

  bool U32(std::uint32_t& v);
  bool I32(std::int32_t& v);
  bool U16(std::uint16_t& v);
  // `n` raw bytes.
  bool Raw(std::size_t n, std::string& out);
  bool Skip(std::size_t n);
  // dword length + bytes (counted text and byte block share the layout).
  bool Block(std::string& out);
  bool ZText(std::string& out);
  // 16-bit count (0xFFFF: then a dword count) + that many counted texts.
  bool TextList(std::vector<std::string>& out);
  // The rest of the span.
  std::string_view Rest();

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  void U32(std::uint32_t v);
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void U16(std::uint16_t v);
  void Raw(std::string_view bytes) { out_.append(bytes); }
  void Block(std::string_view bytes);
  void ZText(std::string_view text);  // stops at an embedded NUL
  void TextList(const std::vector<std::string>& items);
  std::string& str() { return out_; }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace tl::rt::tpl
