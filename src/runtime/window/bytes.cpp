#include "runtime/window/bytes.h"

#include <cstring>

namespace tl::rt::tpl {

bool ByteReader::U32(std::uint32_t& v) {
  if (!ok_ || data_.size() - pos_ < 4) return Fail();
  auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
  v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  pos_ += 4;
  return true;
}

bool ByteReader::I32(std::int32_t& v) {
  std::uint32_t u = 0;
  if (!U32(u)) return false;
  v = static_cast<std::int32_t>(u);
  return true;
}

bool ByteReader::U16(std::uint16_t& v) {
  if (!ok_ || data_.size() - pos_ < 2) return Fail();
  auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
  v = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  pos_ += 2;
  return true;
}

bool ByteReader::Raw(std::size_t n, std::string& out) {
  if (!ok_ || data_.size() - pos_ < n) return Fail();
  out.assign(data_.data() + pos_, n);
  pos_ += n;
  return true;
}

bool ByteReader::Skip(std::size_t n) {
  if (!ok_ || data_.size() - pos_ < n) return Fail();
  pos_ += n;
  return true;
}

bool ByteReader::Block(std::string& out) {
  std::uint32_t n = 0;
  return U32(n) && Raw(n, out);
}

bool ByteReader::ZText(std::string& out) {
  if (!ok_) return false;
  const void* nul = std::memchr(data_.data() + pos_, 0, data_.size() - pos_);
  if (!nul) return Fail();
  std::size_t n = static_cast<std::size_t>(static_cast<const char*>(nul) - (data_.data() + pos_));
  out.assign(data_.data() + pos_, n);
  pos_ += n + 1;
  return true;
}

bool ByteReader::TextList(std::vector<std::string>& out) {
  out.clear();
  std::uint16_t short_count = 0;
  if (!U16(short_count)) return false;
  std::uint32_t count = short_count;
  if (short_count == 0xFFFF && !U32(count)) return false;
  // Every item takes at least its 4-byte length: a count beyond that cannot
  // be genuine, and must not drive a huge reservation.
  if (count > remaining() / 4) return Fail();
  out.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string item;
    if (!Block(item)) return false;
    out.push_back(std::move(item));
  }
  return true;
}

std::string_view ByteReader::Rest() {
  if (!ok_) return {};
  std::string_view r = data_.substr(pos_);
  pos_ = data_.size();
  return r;
}

void ByteWriter::U32(std::uint32_t v) {
  char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
               static_cast<char>(v >> 24)};
  out_.append(b, 4);
}

void ByteWriter::U16(std::uint16_t v) {
  char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
  out_.append(b, 2);
}

void ByteWriter::Block(std::string_view bytes) {
  U32(static_cast<std::uint32_t>(bytes.size()));
  out_.append(bytes);
}

void ByteWriter::ZText(std::string_view text) {
  out_.append(text.substr(0, text.find('\0')));
  out_.push_back('\0');
}

void ByteWriter::TextList(const std::vector<std::string>& items) {
  if (items.size() >= 0xFFFF) {
    U16(0xFFFF);
    U32(static_cast<std::uint32_t>(items.size()));
  } else {
    U16(static_cast<std::uint16_t>(items.size()));
  }
  for (const auto& s : items) Block(s);
}

}  // namespace tl::rt::tpl
