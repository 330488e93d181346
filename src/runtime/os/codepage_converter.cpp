// Code-page conversions through the charset converter, with the
// platform's rules for what does not convert; shared by the per-OS files.
#include "runtime/os/codepage_converter.h"
#include "runtime/os/charset.h"

namespace tl::rt::codepage {

namespace {
constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

std::optional<std::u16string> ToUtf16ByConverter(const char* charset, std::string_view bytes, bool* replaced) {
  if (replaced) *replaced = false;
  CharsetConverter conv("UTF-16LE", charset);
  if (!conv.ok()) return std::nullopt;
  std::u16string out;
  // One unit per input byte is always enough except for 4-byte sequences,
  // which take two units for four bytes; keep a margin anyway.
  std::string buf(bytes.size() * 2 + 16, '\0');
  const char* in = bytes.data();
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* o = buf.data();
    std::size_t oLeft = buf.size();
    auto st = conv.Convert(in, inLeft, o, oLeft);
    std::size_t produced = buf.size() - oLeft;
    for (std::size_t i = 0; i + 1 < produced; i += 2)
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buf[i]) |
                                          (static_cast<unsigned char>(buf[i + 1]) << 8)));
    if (st == CharsetConverter::Status::kDone) break;
    if (st == CharsetConverter::Status::kOutputFull) continue;
    out.push_back(kReplacement);
    if (replaced) *replaced = true;
    if (st == CharsetConverter::Status::kIncomplete) break;
    ++in;  // skip the offending byte
    --inLeft;
    conv.Reset();
  }
  return out;
}

std::optional<std::string> FromUtf16ByConverter(const char* charset, std::u16string_view units,
                                                std::optional<char> defaultChar, bool* usedDefault) {
  if (usedDefault) *usedDefault = false;
  CharsetConverter conv(charset, "UTF-16LE");
  if (!conv.ok()) return std::nullopt;
  const char fallback = defaultChar.value_or('?');
  std::string le(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    le[2 * i] = static_cast<char>(units[i] & 0xFF);
    le[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  std::string out;
  std::string buf(units.size() * 4 + 16, '\0');
  const char* in = le.data();
  std::size_t inLeft = le.size();
  while (inLeft > 0) {
    char* o = buf.data();
    std::size_t oLeft = buf.size();
    auto st = conv.Convert(in, inLeft, o, oLeft);
    out.append(buf.data(), buf.size() - oLeft);
    if (st == CharsetConverter::Status::kDone) break;
    if (st == CharsetConverter::Status::kOutputFull) continue;
    out.push_back(fallback);
    if (usedDefault) *usedDefault = true;
    if (st == CharsetConverter::Status::kIncomplete) break;
    // Skip one character: a whole surrogate pair when the unit starts one.
    std::size_t unitIndex = static_cast<std::size_t>(in - le.data()) / 2;
    std::size_t skip = 2;
    if (unitIndex + 1 < units.size() && units[unitIndex] >= 0xD800 && units[unitIndex] < 0xDC00 &&
        units[unitIndex + 1] >= 0xDC00 && units[unitIndex + 1] < 0xE000)
      skip = 4;
    skip = skip < inLeft ? skip : inLeft;
    in += skip;
    inLeft -= skip;
    conv.Reset();
  }
  return out;
}

}  // namespace tl::rt::codepage
