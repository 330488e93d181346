// "VBScript.RegExp" on PCRE2 (16-bit code units, as BSTRs come): Pattern,
// IgnoreCase, Global, Multiline, Execute, Test and Replace, with match
// collections of matches (Value, FirstIndex, Length). A pattern that does not
// compile makes Execute, Test and Replace fail; setting it never does.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <string>
#include <vector>

#include "runtime/os/automation_classes.h"
#include "runtime/automation/inprocess/inprocess.h"

namespace tl::rt::automation {
namespace {

// ---------------------------------------------------------------------------
// Match

enum MatchMember : DispId { kMatchFirstIndex = 10001, kMatchLength = 10002 };
constexpr MemberDesc kMatchMembers[] = {
    {u"Value", kDispIdValue, kInvokePropertyGet, {}, false, kVtBstr},
    {u"FirstIndex", kMatchFirstIndex, kInvokePropertyGet, {}, false, kVtI4},
    {u"Length", kMatchLength, kInvokePropertyGet, {}, false, kVtI4},
};

class MatchObject final : public InProcessObject {
 public:
  MatchObject(std::u16string value, std::int32_t firstIndex) : value_(std::move(value)), first_(firstIndex) {}

 protected:
  std::span<const MemberDesc> Members() const override { return kMatchMembers; }
  HResult Call(const MemberDesc& m, const CallArgs&, Variant& result) override {
    switch (m.id) {
      case kDispIdValue: result = MakeBstr(value_); return kOk;
      case kMatchFirstIndex: result = MakeI4(first_); return kOk;
      case kMatchLength: result = MakeI4(static_cast<std::int32_t>(value_.size())); return kOk;
      default: return kDispMemberNotFound;
    }
  }

 private:
  std::u16string value_;
  std::int32_t first_;
};

// ---------------------------------------------------------------------------
// RegExp

enum RegExpMember : DispId {
  kPattern = 10001,
  kIgnoreCase,
  kGlobal,
  kMultiline,
  kExecute,
  kTest,
  kReplace,
};

constexpr ParamDesc kOneText[] = {{kVtBstr, false, false}};
constexpr ParamDesc kOneBool[] = {{kVtBool, false, false}};
constexpr ParamDesc kReplaceParams[] = {{kVtBstr, false, false}, {kVtVariant, false, false}};

constexpr MemberDesc kRegExpMembers[] = {
    {u"Pattern", kPattern, kInvokePropertyGet, {}, false, kVtBstr},
    {u"Pattern", kPattern, kInvokePropertyPut, kOneText, false, kVtEmpty},
    {u"IgnoreCase", kIgnoreCase, kInvokePropertyGet, {}, false, kVtBool},
    {u"IgnoreCase", kIgnoreCase, kInvokePropertyPut, kOneBool, false, kVtEmpty},
    {u"Global", kGlobal, kInvokePropertyGet, {}, false, kVtBool},
    {u"Global", kGlobal, kInvokePropertyPut, kOneBool, false, kVtEmpty},
    {u"Multiline", kMultiline, kInvokePropertyGet, {}, false, kVtBool},
    {u"Multiline", kMultiline, kInvokePropertyPut, kOneBool, false, kVtEmpty},
    {u"Execute", kExecute, kInvokeMethod, kOneText, false, kVtDispatch},
    {u"Test", kTest, kInvokeMethod, kOneText, false, kVtBool},
    {u"Replace", kReplace, kInvokeMethod, kReplaceParams, false, kVtBstr},
};

struct Found {
  std::size_t start, end;
  std::vector<std::pair<std::size_t, std::size_t>> groups;  // unset groups: npos
};

class RegExpObject final : public InProcessObject {
 protected:
  ~RegExpObject() override { Forget(); }
  std::span<const MemberDesc> Members() const override { return kRegExpMembers; }

  HResult Call(const MemberDesc& m, const CallArgs& args, Variant& result) override {
    const bool put = m.kind == kInvokePropertyPut;
    switch (m.id) {
      case kPattern:
        if (!put) {
          result = MakeBstr(pattern_);
          return kOk;
        }
        if (HResult hr = args.Text(0, pattern_); Failed(hr)) return hr;
        Forget();
        return kOk;
      case kIgnoreCase: return Flag(ignoreCase_, put, args, result);
      case kGlobal: return Flag(global_, put, args, result);
      case kMultiline: return Flag(multiline_, put, args, result);
      case kExecute: return Execute(args, result);
      case kTest: {
        std::u16string subject;
        if (HResult hr = args.Text(0, subject); Failed(hr)) return hr;
        std::vector<Found> found;
        if (HResult hr = Search(subject, false, found); Failed(hr)) return hr;
        result = MakeBool(!found.empty());
        return kOk;
      }
      case kReplace: return Replace(args, result);
      default: return kDispMemberNotFound;
    }
  }

 private:
  HResult Flag(bool& flag, bool put, const CallArgs& args, Variant& result) {
    if (!put) {
      result = MakeBool(flag);
      return kOk;
    }
    if (HResult hr = args.Bool(0, flag); Failed(hr)) return hr;
    Forget();
    return kOk;
  }

  void Forget() {
    if (code_) pcre2_code_free(code_);
    code_ = nullptr;
  }

  HResult Compile() {
    if (code_) return kOk;
    // The scripting engine's dialect: "$" only at the very end unless
    // Multiline; case folding across Unicode; subjects may hold unpaired
    // surrogates, which must not stop the search.
    std::uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_DOLLAR_ENDONLY;
    if (ignoreCase_) options |= PCRE2_CASELESS;
    if (multiline_) options |= PCRE2_MULTILINE;
    int error = 0;
    PCRE2_SIZE offset = 0;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(), options, &error,
                          &offset, nullptr);
    return code_ ? kOk : kDispException;
  }

  // Every match (or the first one unless `all`), searching on after an empty
  // match one unit further, as the scripting engine does.
  HResult Search(std::u16string_view subject, bool all, std::vector<Found>& out) {
    if (HResult hr = Compile(); Failed(hr)) return hr;
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code_, nullptr);
    if (!md) return kOutOfMemory;
    HResult hr = kOk;
    std::size_t pos = 0;
    while (pos <= subject.size()) {
      const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), pos, 0, md,
                                 nullptr);
      if (rc == PCRE2_ERROR_NOMATCH) break;
      if (rc < 0) {
        hr = kDispException;  // e.g. the match limit: a failed call, not a crash
        break;
      }
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
      const std::uint32_t pairs = pcre2_get_ovector_count(md);
      Found f{ov[0], ov[1], {}};
      for (std::uint32_t g = 1; g < pairs; ++g) {
        f.groups.emplace_back(ov[2 * g] == PCRE2_UNSET ? std::u16string_view::npos : ov[2 * g],
                              ov[2 * g + 1] == PCRE2_UNSET ? std::u16string_view::npos : ov[2 * g + 1]);
      }
      if (f.end < f.start) f.end = f.start;  // \K tricks; keep the range sane
      out.push_back(std::move(f));
      if (!all) break;
      pos = out.back().end > out.back().start ? out.back().end : out.back().start + 1;
    }
    pcre2_match_data_free(md);
    if (Failed(hr)) out.clear();
    return hr;
  }

  HResult Execute(const CallArgs& args, Variant& result) {
    std::u16string subject;
    if (HResult hr = args.Text(0, subject); Failed(hr)) return hr;
    std::vector<Found> found;
    if (HResult hr = Search(subject, global_, found); Failed(hr)) return hr;
    auto* matches = new ItemCollection(0);
    for (const Found& f : found) {
      Ref<Dispatch> m(new MatchObject(subject.substr(f.start, f.end - f.start), static_cast<std::int32_t>(f.start)));
      matches->Add(m.get());
    }
    result.vt = kVtDispatch;
    result.pdispVal = matches;
    return kOk;
  }

  HResult Replace(const CallArgs& args, Variant& result) {
    std::u16string subject, with;
    if (HResult hr = args.Text(0, subject); Failed(hr)) return hr;
    if (HResult hr = args.Text(1, with); Failed(hr)) return hr;
    std::vector<Found> found;
    if (HResult hr = Search(subject, global_, found); Failed(hr)) return hr;
    std::u16string out;
    std::size_t last = 0;
    for (const Found& f : found) {
      out.append(subject, last, f.start - last);
      AppendReplacement(out, with, subject, f);
      last = f.end;
    }
    out.append(subject, last, std::u16string::npos);
    result = MakeBstr(out);
    return kOk;
  }

  // $& the match, $` before it, $' after it, $$ a dollar, $n / $nn a group.
  static void AppendReplacement(std::u16string& out, std::u16string_view with, std::u16string_view subject,
                                const Found& f) {
    for (std::size_t i = 0; i < with.size(); ++i) {
      const char16_t c = with[i];
      if (c != u'$' || i + 1 >= with.size()) {
        out += c;
        continue;
      }
      const char16_t n = with[i + 1];
      if (n == u'$') {
        out += u'$';
        ++i;
      } else if (n == u'&') {
        out.append(subject.substr(f.start, f.end - f.start));
        ++i;
      } else if (n == u'`') {
        out.append(subject.substr(0, f.start));
        ++i;
      } else if (n == u'\'') {
        out.append(subject.substr(f.end));
        ++i;
      } else if (n >= u'1' && n <= u'9') {
        std::size_t g = n - u'0';
        std::size_t used = 1;
        if (i + 2 < with.size() && with[i + 2] >= u'0' && with[i + 2] <= u'9') {
          const std::size_t two = g * 10 + (with[i + 2] - u'0');
          if (two <= f.groups.size()) {
            g = two;
            used = 2;
          }
        }
        if (g > f.groups.size()) {
          out += c;  // not a group: taken literally
          continue;
        }
        const auto [s, e] = f.groups[g - 1];
        if (s != std::u16string_view::npos && e != std::u16string_view::npos && e >= s)
          out.append(subject.substr(s, e - s));
        i += used;
      } else {
        out += c;
      }
    }
  }

  std::u16string pattern_;
  bool ignoreCase_ = false;
  bool global_ = false;
  bool multiline_ = false;
  pcre2_code* code_ = nullptr;
};

}  // namespace

Dispatch* CreateRegExpObject() { return new RegExpObject; }

}  // namespace tl::rt::automation
