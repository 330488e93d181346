// Text commands. Texts are GBK bytes; positions are 1-based byte positions and
// a search that finds nothing gives -1. Commands that walk a text step over a
// two-byte character (a lead byte with the high bit set and its trail byte) as
// one unit, so a match only starts on a character boundary; LeftText,
// RightText and MidText count plain bytes. Empty results are null texts.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

std::int32_t TextLength(std::string_view text);

// Start defaults to 1 (forward) or the end (reverse). The reverse search only
// takes matches that end within the first start-1 bytes. Case-insensitive
// folds ASCII A-Z only.
std::int32_t FindText(std::string_view text, std::string_view sought, std::optional<std::int32_t> start = {},
                      std::optional<bool> caseInsensitive = {});
std::int32_t FindTextReverse(std::string_view text, std::string_view sought,
                             std::optional<std::int32_t> start = {}, std::optional<bool> caseInsensitive = {});

Text LeftText(std::string_view text, std::int32_t n);
Text RightText(std::string_view text, std::int32_t n);
Text MidText(std::string_view text, std::int32_t start, std::int32_t n);

// Case-insensitive unless caseSensitive is true. Count limits the number of
// replacements (0 or negative: none).
Text ReplaceSubtext(std::string_view text, std::string_view oldText,
                    std::optional<std::string_view> newText = {}, std::optional<std::int32_t> start = {},
                    std::optional<std::int32_t> count = {}, std::optional<bool> caseSensitive = {});

// Delimiter defaults to ","; max limits the number of pieces cut at a
// delimiter (negative counts as 0). An empty piece is a null element; a
// trailing delimiter leaves no empty last element.
TextArray SplitText(std::string_view text, std::optional<std::string_view> delimiter = {},
                    std::optional<std::int32_t> max = {});

// Strips 0x20 and the two-byte space A1 A1 from both ends.
Text TrimBoth(std::string_view text);
Text ToLower(std::string_view text);
Text SpaceText(std::int32_t n);

namespace cmd {
extern const Command kTextLength;
extern const Command kFindText;
extern const Command kFindTextReverse;
extern const Command kLeftText;
extern const Command kRightText;
extern const Command kMidText;
extern const Command kReplaceSubtext;
extern const Command kSplitText;
extern const Command kTrimBoth;
extern const Command kToLower;
extern const Command kSpaceText;
}  // namespace cmd

}  // namespace tl::rt
