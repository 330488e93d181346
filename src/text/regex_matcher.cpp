#include "text/regex_matcher.h"

#include <cmath>
#include <string>

#include "runtime/automation/wide_text.h"
#include "runtime/commands/text_commands.h"

namespace tl::text {

rt::Text WildcardToPattern(std::string_view filter) {
  // Backslash first, so no escape added here is escaped again.
  static constexpr std::string_view kEscaped = "\\^$+.{}[]=()\"";
  // A run of '*' means what one does; as a run of ".*" it makes the
  // expression engine backtrack until its match limit, and a name that
  // matches would be reported as no match. '*' is never a GBK trail byte.
  std::string collapsed;
  collapsed.reserve(filter.size());
  for (char c : filter)
    if (c != '*' || collapsed.empty() || collapsed.back() != '*') collapsed.push_back(c);
  rt::Text pattern(collapsed);
  for (char c : kEscaped) {
    const char from[2] = {c, '\0'};
    const char to[3] = {'\\', c, '\0'};
    pattern = rt::ReplaceSubtext(pattern.view(), from, std::string_view(to), std::nullopt, std::nullopt, true);
  }
  pattern = rt::ReplaceSubtext(pattern.view(), "*", std::string_view(".*"), std::nullopt, std::nullopt, true);
  pattern = rt::ReplaceSubtext(pattern.view(), "?", std::string_view(".?"), std::nullopt, std::nullopt, true);
  return pattern;
}

bool RegexMatcher::Create(std::string_view pattern, std::optional<bool> ignoreCase, std::optional<bool> multiline,
                          std::optional<bool> global) {
  rt::CreateObject(regex_.holder(), "VBScript.RegExp");
  const rt::TypedArg flags[] = {rt::arg::Boolean(ignoreCase.value_or(true)),
                                rt::arg::Boolean(multiline.value_or(true)), rt::arg::Boolean(global.value_or(true))};
  rt::SetObjectProperty(regex_.holder(), "IgnoreCase", {&flags[0], 1});
  rt::SetObjectProperty(regex_.holder(), "Multiline", {&flags[1], 1});
  rt::SetObjectProperty(regex_.holder(), "Global", {&flags[2], 1});
  rt::VariantValue value;
  const std::string text(pattern);
  rt::SetVariant(value.get(), rt::arg::Text(text.c_str()));
  const rt::TypedArg arg = rt::arg::VariantRef(&value.get());
  const bool set = rt::SetObjectProperty(regex_.holder(), "Pattern", {&arg, 1});
  rt::ClearVariant(value.get());
  return set;
}

int RegexMatcher::Execute(std::string_view subject) {
  // The subject goes over as UTF-16, ready-made in a variant, so the object
  // sees exactly the characters of the GBK text.
  rt::VariantValue value(automation::MakeBstr(automation::GbkToUtf16(subject)));
  const rt::TypedArg arg = rt::arg::VariantRef(&value.get());
  matches_ = rt::Object();
  matches_ = rt::CallObjectMethodObject(regex_.holder(), "Execute", {&arg, 1});
  subject_ = rt::Text(subject);
  return MatchCount();
}

int RegexMatcher::MatchCount() const {
  const double n = rt::GetNumberProperty(matches_.holder(), "Count");
  return std::isfinite(n) ? static_cast<int>(n) : 0;
}

bool CollectionEnumerator::Start(const rt::ObjectHolder& collection) {
  enum_ = {};
  rt::VariantValue e = rt::GetVariantProperty(collection, "_NewEnum");
  const rt::Variant& v = e.get();
  if ((v.vt == automation::kVtUnknown || v.vt == automation::kVtDispatch) && v.punkVal)
    enum_ = automation::Ref<automation::EnumVariant>(v.punkVal->QueryEnumVariant());
  return static_cast<bool>(enum_);
}

bool CollectionEnumerator::Next(rt::VariantValue& item) {
  rt::ClearVariant(item.get());
  if (!enum_) return false;
  std::uint32_t fetched = 0;
  enum_->Next(1, &item.get(), &fetched);
  return fetched == 1;
}

automation::HResult CollectionEnumerator::NextItems(std::uint32_t count, rt::Variant* items, std::uint32_t* fetched) {
  if (!enum_) return automation::kFail;
  return enum_->Next(count, items, fetched);
}

automation::HResult CollectionEnumerator::Skip(std::uint32_t count) {
  return enum_ ? enum_->Skip(count) : automation::kFail;
}

automation::HResult CollectionEnumerator::Reset() { return enum_ ? enum_->Reset() : automation::kFail; }

}  // namespace tl::text
