#include "runtime/commands/text_commands.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/gbk_view.h"

namespace tl::rt {
namespace {

using gbk::CharStep;
using gbk::SameBytes;

std::int32_t FindIn(std::string_view text, std::string_view sought, std::optional<std::int32_t> start,
                    bool foldCase, bool reverse) {
  const std::size_t length = text.size();
  const std::size_t m = sought.size();
  std::int64_t b = start ? std::max<std::int64_t>(std::int64_t{*start} - 1, 0)
                         : (reverse ? static_cast<std::int64_t>(length) : 0);
  std::size_t first = 0;
  std::size_t end = length;
  if (reverse) {
    end = std::min(static_cast<std::size_t>(b), length);
  } else {
    first = static_cast<std::size_t>(b);
  }
  if (first >= end) return -1;
  if (m == 0) return 1;

  std::int32_t found = -1;
  for (std::size_t i = first; i + m <= end;) {
    if (SameBytes(text.data() + i, sought.data(), m, foldCase)) {
      if (!reverse) return static_cast<std::int32_t>(i + 1);
      found = static_cast<std::int32_t>(i + 1);
    }
    std::size_t step = CharStep(text, i);
    if (step == 0) break;
    i += step;
  }
  return found;
}

}  // namespace

std::int32_t TextLength(std::string_view text) { return static_cast<std::int32_t>(text.size()); }

std::int32_t FindText(std::string_view text, std::string_view sought, std::optional<std::int32_t> start,
                      std::optional<bool> caseInsensitive) {
  return FindIn(text, sought, start, caseInsensitive.value_or(false), false);
}

std::int32_t FindTextReverse(std::string_view text, std::string_view sought, std::optional<std::int32_t> start,
                             std::optional<bool> caseInsensitive) {
  return FindIn(text, sought, start, caseInsensitive.value_or(false), true);
}

Text LeftText(std::string_view text, std::int32_t n) {
  if (n <= 0) return Text();
  return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text RightText(std::string_view text, std::int32_t n) {
  if (n <= 0) return Text();
  std::size_t k = std::min(static_cast<std::size_t>(n), text.size());
  return Text(text.substr(text.size() - k));
}

Text MidText(std::string_view text, std::int32_t start, std::int32_t n) {
  std::int64_t p = std::int64_t{start} - 1;
  if (p < 0 || static_cast<std::size_t>(p) >= text.size() || n <= 0) return Text();
  return Text(text.substr(static_cast<std::size_t>(p), static_cast<std::size_t>(n)));
}

Text ReplaceSubtext(std::string_view text, std::string_view oldText, std::optional<std::string_view> newText,
                    std::optional<std::int32_t> start, std::optional<std::int32_t> count,
                    std::optional<bool> caseSensitive) {
  const std::size_t length = text.size();
  const std::size_t m = oldText.size();
  const std::size_t p = static_cast<std::size_t>(start ? std::max<std::int64_t>(std::int64_t{*start} - 1, 0) : 0);
  // -1: no limit.
  std::int64_t remaining = count ? std::max<std::int32_t>(*count, 0) : -1;
  if (length == 0 || m == 0 || p >= length || remaining == 0) return Text(text);

  const std::string_view replacement = newText.value_or(std::string_view());
  const bool foldCase = !caseSensitive.value_or(false);
  std::string out;
  out.reserve(length);
  out.append(text.substr(0, p));
  std::size_t i = p;
  while (remaining != 0 && i + m <= length) {
    if (SameBytes(text.data() + i, oldText.data(), m, foldCase)) {
      out.append(replacement);
      i += m;
      if (remaining > 0) --remaining;
      continue;
    }
    std::size_t step = CharStep(text, i);
    if (step == 0) break;  // a lone lead byte: kept by the tail copy below
    out.append(text.substr(i, step));
    i += step;
  }
  out.append(text.substr(i));
  return Text(out);
}

TextArray SplitText(std::string_view text, std::optional<std::string_view> delimiter,
                    std::optional<std::int32_t> max) {
  const std::string_view delim = delimiter.value_or(",");
  std::int64_t left = max ? std::max<std::int32_t>(*max, 0) : -1;  // -1: no limit
  if (text.empty() || left == 0) return TextArray();
  if (delim.empty()) {
    TextArray one(1);
    one.Set(1, Text(text));
    return one;
  }

  const std::size_t length = text.size();
  const std::size_t m = delim.size();
  std::vector<std::string_view> pieces;
  std::size_t cut = 0;
  std::size_t i = 0;
  bool exhausted = false;
  while (i + m <= length) {
    if (text[i] == delim[0] && std::memcmp(text.data() + i, delim.data(), m) == 0) {
      pieces.push_back(text.substr(cut, i - cut));
      i += m;
      cut = i;
      if (left > 0 && --left == 0) {
        exhausted = true;
        break;
      }
      continue;
    }
    std::size_t step = CharStep(text, i);
    if (step == 0) break;
    i += step;
  }
  if (!exhausted && cut < length) pieces.push_back(text.substr(cut));

  TextArray result(pieces.size());
  for (std::size_t k = 0; k < pieces.size(); ++k) result.Set(static_cast<std::int64_t>(k + 1), Text(pieces[k]));
  return result;
}

namespace {
// Length of the space at i: 1 for 0x20, 2 for A1 A1, 0 otherwise.
std::size_t SpaceAt(std::string_view t, std::size_t i) {
  if (t[i] == ' ') return 1;
  if (static_cast<unsigned char>(t[i]) == 0xA1 && i + 1 < t.size() && static_cast<unsigned char>(t[i + 1]) == 0xA1)
    return 2;
  return 0;
}
}  // namespace

Text TrimBoth(std::string_view text) {
  const std::size_t length = text.size();
  std::size_t begin = 0;
  while (begin < length) {
    std::size_t s = SpaceAt(text, begin);
    if (s == 0) break;
    begin += s;
  }
  // Walk forward so that a trailing A1 A1 is only taken on a character
  // boundary (the A1 could be the trail byte of the character before).
  std::size_t end = begin;
  for (std::size_t i = begin; i < length;) {
    if (std::size_t s = SpaceAt(text, i)) {
      i += s;
      continue;
    }
    std::size_t step = CharStep(text, i);
    if (step == 0) {
      end = length;
      break;
    }
    i += step;
    end = i;
  }
  return Text(text.substr(begin, end - begin));
}

Text ToLower(std::string_view text) {
  Text out(text);
  char* p = out.data();
  for (std::size_t i = 0; i < text.size();) {
    std::size_t step = CharStep(text, i);
    if (step == 0) break;
    if (step == 1) p[i] = gbk::FoldAscii(p[i]);
    i += step;
  }
  return out;
}

Text SpaceText(std::int32_t n) {
  if (n < 1) return Text();
  Text out = Text::Uninitialized(static_cast<std::size_t>(n));
  std::memset(out.data(), ' ', static_cast<std::size_t>(n));
  return out;
}

// ---------------------------------------------------------------------------
namespace cmd {
namespace {

std::optional<std::string_view> OptText(int argc, const TypedArg* args, int i) {
  if (!ArgAt(argc, args, i)) return std::nullopt;
  return ArgText(argc, args, i);
}
std::int32_t IntOr0(int argc, const TypedArg* args, int i) { return ArgInt(argc, args, i).value_or(0); }

void TextLengthBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, TextLength(ArgText(argc, args, 0)));
}
void FindTextBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, FindText(ArgText(argc, args, 0), ArgText(argc, args, 1), ArgInt(argc, args, 2),
                        ArgBool(argc, args, 3)));
}
void FindTextReverseBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, FindTextReverse(ArgText(argc, args, 0), ArgText(argc, args, 1), ArgInt(argc, args, 2),
                               ArgBool(argc, args, 3)));
}
void LeftTextBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnText(r, LeftText(ArgText(argc, args, 0), IntOr0(argc, args, 1)));
}
void RightTextBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnText(r, RightText(ArgText(argc, args, 0), IntOr0(argc, args, 1)));
}
void MidTextBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnText(r, MidText(ArgText(argc, args, 0), IntOr0(argc, args, 1), IntOr0(argc, args, 2)));
}
void ReplaceSubtextBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnText(r, ReplaceSubtext(ArgText(argc, args, 0), ArgText(argc, args, 1), OptText(argc, args, 2),
                               ArgInt(argc, args, 3), ArgInt(argc, args, 4), ArgBool(argc, args, 5)));
}
void SplitTextBody(ResultRecord& r, int argc, const TypedArg* args) {
  TextArray pieces = SplitText(ArgText(argc, args, 0), OptText(argc, args, 1), ArgInt(argc, args, 2));
  ReturnArray(r, pieces.release(), kTagText);
}
void TrimBothBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnText(r, TrimBoth(ArgText(argc, args, 0))); }
void ToLowerBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnText(r, ToLower(ArgText(argc, args, 0))); }
void SpaceTextBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnText(r, SpaceText(IntOr0(argc, args, 0))); }

}  // namespace

const Command kTextLength{"TextLength", &TextLengthBody};
const Command kFindText{"FindText", &FindTextBody};
const Command kFindTextReverse{"FindTextReverse", &FindTextReverseBody};
const Command kLeftText{"LeftText", &LeftTextBody};
const Command kRightText{"RightText", &RightTextBody};
const Command kMidText{"MidText", &MidTextBody};
const Command kReplaceSubtext{"ReplaceSubtext", &ReplaceSubtextBody};
const Command kSplitText{"SplitText", &SplitTextBody};
const Command kTrimBoth{"TrimBoth", &TrimBothBody};
const Command kToLower{"ToLower", &ToLowerBody};
const Command kSpaceText{"SpaceText", &SpaceTextBody};

}  // namespace cmd
}  // namespace tl::rt
