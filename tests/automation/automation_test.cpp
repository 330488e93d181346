// Automation commands driven against the in-process classes and a probe
// class that records what a member receives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/automation/class_registry.h"
#include "runtime/automation/commands.h"
#include "runtime/automation/inprocess.h"
#include "runtime/automation/wide_text.h"
#include "support/gbk.h"
#include "text/file_type_filter.h"
#include "text/regex_matcher.h"

namespace tl {
namespace {

using namespace rt;
using namespace rt::automation;
using test::Gbk;

// --------------------------------------------------------------------------
// A probe: Echo(a, [b], [c]) records the argument variants it was given;
// Bump(ref int) adds one; Suffix(ref text) appends "！"; Value is read-only.
struct ProbeLog {
  std::vector<std::vector<Variant>> calls;
} g_probe;

constexpr ParamDesc kEchoParams[] = {{kVtVariant, false, false}, {kVtVariant, false, true}, {kVtVariant, false, true}};
constexpr ParamDesc kBumpParams[] = {{kVtI4, true, false}};
constexpr ParamDesc kSuffixParams[] = {{kVtBstr, true, false}};
constexpr MemberDesc kProbeMembers[] = {
    {u"Echo", 1, kInvokeMethod, kEchoParams, false, kVtI4},
    {u"Bump", 2, kInvokeMethod, kBumpParams, false, kVtEmpty},
    {u"Suffix", 3, kInvokeMethod, kSuffixParams, false, kVtEmpty},
    {u"Value", 4, kInvokePropertyGet, {}, false, kVtBstr},
};

class Probe final : public InProcessObject {
 protected:
  std::span<const MemberDesc> Members() const override { return kProbeMembers; }
  HResult Call(const MemberDesc& m, const CallArgs& args, Variant& result) override {
    switch (m.id) {
      case 1: {
        std::vector<Variant> seen;
        for (std::size_t i = 0; i < args.size(); ++i) {
          Variant c;
          VariantCopy(c, args.Raw(i));
          seen.push_back(c);
        }
        g_probe.calls.push_back(seen);
        result = MakeI4(static_cast<std::int32_t>(args.size()));
        return kOk;
      }
      case 2: {
        Variant& v = args.Raw(0);
        if (v.vt != (kVtByRef | kVtI4)) return kDispTypeMismatch;
        *static_cast<std::int32_t*>(v.byref) += 1;
        return kOk;
      }
      case 3: {
        Variant& v = args.Raw(0);
        if (v.vt != (kVtByRef | kVtBstr)) return kDispTypeMismatch;
        auto* slot = static_cast<Bstr*>(v.byref);
        std::u16string s(BstrView(*slot));
        FreeBstr(*slot);
        *slot = AllocBstr(s + u"！");
        return kOk;
      }
      case 4: result = MakeBstr(u"abc"); return kOk;
      default: return kDispMemberNotFound;
    }
  }
};

class AutomationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAutomationClass(u"Tidyline.Probe", [] { return static_cast<Dispatch*>(new Probe); });
    for (auto& call : g_probe.calls)
      for (Variant& v : call) VariantClear(v);
    g_probe.calls.clear();
  }
  Object Make(std::string_view progId) {
    Object o;
    EXPECT_TRUE(CreateObject(o.holder(), progId)) << progId;
    return o;
  }
};

TEST_F(AutomationTest, CreateObjectMatchesProgIdsWithoutCase) {
  for (std::string_view id : {"VBScript.RegExp", "vbscript.regexp", "scripting.FileSystemObject",
                              "SCRIPTING.FILESYSTEMOBJECT", "{3f4daca4-160d-11d2-a8e9-00104b365c9f}"}) {
    Object o;
    EXPECT_TRUE(CreateObject(o.holder(), id)) << id;
    EXPECT_FALSE(IsObjectEmpty(o.holder())) << id;
  }
  Object kept = Make("VBScript.RegExp");
  automation::Unknown* before = kept.holder().object;
  EXPECT_FALSE(CreateObject(kept.holder(), "No.Such.Class"));
  EXPECT_EQ(kept.holder().object, before);  // unchanged on failure
}

TEST_F(AutomationTest, EmptyHolderThenValidObject) {
  Object empty;
  EXPECT_TRUE(GetTextProperty(empty.holder(), "Pattern").empty());
  EXPECT_EQ(LastAutomationError(), kAutoEmptyHolder);
  Object re = Make("VBScript.RegExp");
  const TypedArg v[] = {arg::Boolean(true)};
  EXPECT_TRUE(SetObjectProperty(re.holder(), "Global", v));
  EXPECT_EQ(LastAutomationError(), 0);
}

TEST_F(AutomationTest, ErrorCodesAndEmptyResults) {
  Object re = Make("VBScript.RegExp");
  const TypedArg text[] = {arg::Text("abc")};
  const TypedArg two[] = {arg::Text("a"), arg::Text("b")};
  const TypedArg date[] = {arg::DateTime(1.0)};
  SetObjectProperty(re.holder(), "Pattern", text);

  struct Case {
    const char* what;
    std::function<void()> run;
    int code;
  } cases[] = {
      {"unknown member", [&] { EXPECT_EQ(GetNumberProperty(re.holder(), "NoSuch"), 0.0); }, kAutoNoMember},
      {"too many arguments", [&] { EXPECT_FALSE(CallObjectMethodBool(re.holder(), "Test", two)); }, kAutoTooManyArgs},
      {"result not a number", [&] { EXPECT_EQ(GetNumberProperty(re.holder(), "Pattern"), 0.0); }, kAutoBadResult},
      {"result not an object", [&] { EXPECT_TRUE(GetObjectProperty(re.holder(), "Pattern").empty()); }, kAutoBadResult},
      {"text to a flag", [&] { EXPECT_FALSE(SetObjectProperty(re.holder(), "IgnoreCase", text)); }, kAutoTypeMismatch},
      {"missing argument", [&] { EXPECT_TRUE(CallObjectMethodText(re.holder(), "Replace", text).empty()); }, kAutoBadParamCount},
      {"date to a text parameter", [&] { EXPECT_FALSE(CallObjectMethodBool(re.holder(), "Test", date)); }, kAutoOk},
      {"get binds a method", [&] { EXPECT_TRUE(GetBoolProperty(re.holder(), "Test", text)); }, kAutoOk},
      {"read-only property", [&] { EXPECT_FALSE(SetObjectProperty(Make("Tidyline.Probe").holder(), "Value", text)); }, kAutoNoMember},
  };
  for (const Case& c : cases) {
    c.run();
    EXPECT_EQ(LastAutomationError(), c.code) << c.what;
  }
  const TypedArg byteSet[] = {arg::ByteSet(nullptr)};
  EXPECT_FALSE(CallObjectMethodBool(re.holder(), "Test", byteSet));
  EXPECT_EQ(LastAutomationError(), kAutoBadArgKind);
}

TEST_F(AutomationTest, OmittedArguments) {
  Object probe = Make("Tidyline.Probe");
  const TypedArg middle[] = {arg::Int(1), arg::Omitted(), arg::Int(3)};
  const TypedArg trailing[] = {arg::Int(1), arg::Omitted(), arg::Omitted()};
  const TypedArg tooMany[] = {arg::Int(1), arg::Int(2), arg::Int(3), arg::Int(4)};
  const TypedArg tooManyButOmitted[] = {arg::Int(1), arg::Int(2), arg::Int(3), arg::Omitted()};

  EXPECT_EQ(VariantToNumber(CallObjectMethodVariant(probe.holder(), "Echo", middle).get()), 3.0);
  ASSERT_EQ(g_probe.calls.back().size(), 3u);
  EXPECT_EQ(g_probe.calls.back()[1].vt, kVtError);
  EXPECT_EQ(g_probe.calls.back()[1].scode, kDispParamNotFound);
  EXPECT_EQ(g_probe.calls.back()[2].vt, kVtI4);

  EXPECT_EQ(VariantToNumber(CallObjectMethodVariant(probe.holder(), "Echo", trailing).get()), 1.0);
  EXPECT_EQ(g_probe.calls.back().size(), 1u);

  const std::size_t before = g_probe.calls.size();
  CallObjectMethod(probe.holder(), "Echo", tooMany);
  EXPECT_EQ(LastAutomationError(), kAutoTooManyArgs);
  EXPECT_EQ(g_probe.calls.size(), before);  // never called
  CallObjectMethod(probe.holder(), "Echo", tooManyButOmitted);
  EXPECT_EQ(LastAutomationError(), 0);
}

TEST_F(AutomationTest, ArgumentKindsBecomeVariants) {
  Object probe = Make("Tidyline.Probe");
  Object re = Make("VBScript.RegExp");
  const std::string chinese = Gbk("中文");
  const TypedArg args[] = {arg::Boolean(true), arg::Long(0x1'0000'0005LL), arg::Text(chinese.c_str())};
  CallObjectMethod(probe.holder(), "Echo", args);
  ASSERT_EQ(g_probe.calls.back().size(), 3u);
  EXPECT_EQ(g_probe.calls.back()[0].vt, kVtBool);
  EXPECT_EQ(g_probe.calls.back()[0].boolVal, -1);
  EXPECT_EQ(g_probe.calls.back()[1].vt, kVtI4);
  EXPECT_EQ(g_probe.calls.back()[1].lVal, 5);  // low 32 bits
  EXPECT_EQ(BstrView(g_probe.calls.back()[2].bstrVal), u"中文");

  const TypedArg more[] = {arg::Byte(7), arg::Short(-2), arg::Object(&re.holder())};
  CallObjectMethod(probe.holder(), "Echo", more);
  EXPECT_EQ(g_probe.calls.back()[0].vt, kVtUi1);
  EXPECT_EQ(g_probe.calls.back()[1].vt, kVtI2);
  EXPECT_EQ(g_probe.calls.back()[2].vt, kVtDispatch);
}

TEST_F(AutomationTest, ByReferenceArgumentsAreCopiedBack) {
  Object probe = Make("Tidyline.Probe");
  std::int32_t n = 41;
  const TypedArg variable[] = {arg::IntVariable(&n)};
  CallObjectMethod(probe.holder(), "Bump", variable);
  EXPECT_EQ(LastAutomationError(), 0);
  EXPECT_EQ(n, 42);

  const TypedArg value[] = {arg::Int(1)};  // not a variable: nothing to write back
  CallObjectMethod(probe.holder(), "Bump", value);
  EXPECT_EQ(LastAutomationError(), 0);

  Text t(Gbk("文件"));
  char* slot = t.release();
  TypedArg textVar;
  textVar.set_pointer(&slot);
  textVar.tag = kTagText | kTagIndirect;
  CallObjectMethod(probe.holder(), "Suffix", {&textVar, 1});
  Text after = Text::Adopt(slot);
  EXPECT_EQ(after.view(), Gbk("文件！"));

  VariantValue var(MakeI4(9));
  const TypedArg variantArg[] = {arg::VariantRef(&var.get())};
  CallObjectMethod(probe.holder(), "Bump", variantArg);
  EXPECT_EQ(VariantToNumber(var.get()), 10.0);
}

TEST_F(AutomationTest, ResultsThroughTheFrame) {
  Object re = Make("VBScript.RegExp");
  const TypedArg put[] = {arg::Object(&re.holder()), arg::Text("Pattern"), arg::Text("b+")};
  EXPECT_EQ(CallCommand(cmd::kSetObjectProperty, 3, put).lo, 1u);
  const TypedArg exec[] = {arg::Object(&re.holder()), arg::Text("Execute"), arg::Text("abbbc")};
  ResultRecord r = CallCommand(cmd::kCallObjectMethodObject, 3, exec);
  EXPECT_EQ(r.tag, kTagObjectHolder);
  Object matches = TakeObject(r);
  EXPECT_EQ(GetNumberProperty(matches.holder(), "Count"), 1.0);
  const TypedArg item[] = {arg::Object(&matches.holder()), arg::Text("Item"), arg::Int(0)};
  Object match = TakeObject(CallCommand(cmd::kGetObjectProperty, 3, item));
  EXPECT_EQ(GetTextProperty(match.holder(), "Value").view(), "bbb");
  EXPECT_EQ(GetNumberProperty(match.holder(), "FirstIndex"), 1.0);
  EXPECT_EQ(GetNumberProperty(match.holder(), "Length"), 3.0);

  const TypedArg var[] = {arg::Object(&match.holder()), arg::Text("Value")};
  ResultRecord vr = CallCommand(cmd::kGetVariantProperty, 2, var);
  EXPECT_EQ(vr.tag, kTagVariant);
  VariantValue v = TakeVariant(vr);
  EXPECT_EQ(v.get().vt, kVtBstr);

  Object empty;
  const TypedArg none[] = {arg::Object(&empty.holder()), arg::Text("Value")};
  EXPECT_TRUE(TakeObject(CallCommand(cmd::kGetObjectProperty, 2, none)).empty());
  EXPECT_EQ(TakeVariant(CallCommand(cmd::kGetVariantProperty, 2, none)).get().vt, kVtEmpty);
  EXPECT_EQ(CallCommand(cmd::kGetDateProperty, 2, none).as_double(), 0.0);
}

TEST_F(AutomationTest, RegExpMatching) {
  Object re = Make("VBScript.RegExp");
  auto set = [&](const char* name, TypedArg value) { EXPECT_TRUE(SetObjectProperty(re.holder(), name, {&value, 1})); };
  auto count = [&](std::string_view subject) {
    const std::string s(subject);
    const TypedArg a[] = {arg::Text(s.c_str())};
    return GetNumberProperty(CallObjectMethodObject(re.holder(), "Execute", a).holder(), "Count");
  };
  set("Pattern", arg::Text("a."));
  EXPECT_EQ(count("xaXaYa"), 1.0);  // not global: the first match only
  set("Global", arg::Boolean(true));
  EXPECT_EQ(count("xaXaYa"), 2.0);
  EXPECT_EQ(count("xAXab"), 1.0);
  set("IgnoreCase", arg::Boolean(true));
  EXPECT_EQ(count("xAXab"), 2.0);
  set("Pattern", arg::Text("a*"));
  EXPECT_EQ(count("baaa"), 3.0);  // "", "aaa", "" as the scripting engine finds them

  set("Pattern", arg::Text("(\\w+)@(\\w+)"));
  const TypedArg rep[] = {arg::Text("ann@home, bob@work"), arg::Text("$2:$1 [$&] $$")};
  EXPECT_EQ(CallObjectMethodText(re.holder(), "Replace", rep).view(), "home:ann [ann@home] $, work:bob [bob@work] $");

  set("Pattern", arg::Text("(unclosed"));
  const TypedArg subject[] = {arg::Text("unclosed")};
  EXPECT_FALSE(CallObjectMethodBool(re.holder(), "Test", subject));
  EXPECT_EQ(LastAutomationError(), kAutoException);
  EXPECT_TRUE(CallObjectMethodObject(re.holder(), "Execute", subject).empty());
}

TEST_F(AutomationTest, EnumeratingMatches) {
  text::RegexMatcher m;
  ASSERT_TRUE(m.Create("[0-9]+"));
  ASSERT_EQ(m.Execute("a1b22c333"), 3);
  text::CollectionEnumerator e;
  ASSERT_TRUE(e.Start(m.matches().holder()));
  std::vector<std::string> values;
  VariantValue item;
  while (e.Next(item)) {
    Object o;
    ObjectHolder h{item.get().pdispVal, nullptr};
    AssignObject(o.holder(), h);
    values.emplace_back(GetTextProperty(o.holder(), "Value").view());
  }
  EXPECT_EQ(values, (std::vector<std::string>{"1", "22", "333"}));
  EXPECT_FALSE(e.Next(item));
  EXPECT_EQ(item.get().vt, kVtEmpty);
  text::CollectionEnumerator never;
  EXPECT_FALSE(never.Next(item));
  EXPECT_FALSE(never.Start(Object().holder()));
}

TEST_F(AutomationTest, VariantCommands) {
  VariantValue v;
  const std::string bytes("\x01\x00\xFF", 3);
  ByteSet b(bytes);
  EXPECT_TRUE(SetVariant(v.get(), arg::ByteSet(b.block())));
  EXPECT_EQ(v.get().vt, kVtArray | kVtUi1);
  EXPECT_EQ(VariantToByteSet(v.get()).view(), bytes);
  EXPECT_TRUE(SetVariant(v.get(), arg::Byte(0x41), 2));
  EXPECT_EQ(VariantToByteSet(v.get()).view(), std::string("\x01\x41\xFF", 3));
  EXPECT_EQ(VariantToNumber(v.get(), 3), 255.0);
  EXPECT_FALSE(SetVariant(v.get(), arg::Int(1), 4));  // past the end
  EXPECT_FALSE(SetVariant(v.get(), arg::Int(300), 1));  // does not fit a byte
  EXPECT_EQ(VariantToNumber(v.get()), 0.0);  // an array is no number

  EXPECT_TRUE(SetVariant(v.get(), arg::Text("12.5")));
  EXPECT_EQ(VariantToNumber(v.get()), 12.5);
  EXPECT_TRUE(VariantToByteSet(v.get()).empty());
  EXPECT_FALSE(SetVariant(v.get(), arg::Int(1), 1));  // not an array
  EXPECT_TRUE(SetVariant(v.get(), arg::Text("abc")));
  EXPECT_EQ(VariantToNumber(v.get()), 0.0);
  EXPECT_EQ(LastAutomationError(), kAutoBadResult);
  ClearVariant(v.get());
  EXPECT_EQ(v.get().vt, kVtEmpty);
}

TEST_F(AutomationTest, VariantConversions) {
  struct Case {
    Variant from;
    VarType to;
    HResult hr;
    double number;
  } cases[] = {
      {MakeR8(2.5), kVtI4, kOk, 2},  // half to even
      {MakeR8(3.5), kVtI4, kOk, 4},
      {MakeR8(3e10), kVtI4, kDispOverflow, 0},
      {MakeBstr(u" 42 "), kVtI4, kOk, 42},
      {MakeBstr(u"x"), kVtR8, kDispTypeMismatch, 0},
      {MakeBstr(u"true"), kVtBool, kOk, -1},
      {MakeBool(true), kVtI2, kOk, -1},
      {MakeBstr(u"1899/12/31 12:00:00"), kVtDate, kOk, 1.5},
      {Variant(), kVtR8, kOk, 0},
  };
  for (Case& c : cases) {
    Variant out;
    EXPECT_EQ(VariantChangeType(out, c.from, c.to), c.hr) << c.to;
    if (c.hr == kOk) {
      Variant d;
      VariantChangeType(d, out, kVtR8);
      EXPECT_EQ(d.dblVal, c.number);
    }
    VariantClear(out);
    VariantClear(c.from);
  }
  Variant text;
  VariantChangeType(text, MakeDate(1.5), kVtBstr);
  EXPECT_EQ(BstrView(text.bstrVal), u"1899/12/31 12:00:00");
  VariantClear(text);
}

// --------------------------------------------------------------------------
// Filters: wildcard -> expression -> the RegExp class -> match count.

TEST(WildcardToPatternTest, Conversions) {
  struct Case {
    std::string filter, pattern;
  } cases[] = {
      {"file?.txt", "file.?\\.txt"},
      {"*.txt|*.htm", ".*\\.txt|.*\\.htm"},
      {"a*.txt", "a.*\\.txt"},
      {"file[1].txt", "file\\[1\\]\\.txt"},
      {"a\\b", "a\\\\b"},
      {"^$+.{}[]=()\"", "\\^\\$\\+\\.\\{\\}\\[\\]\\=\\(\\)\\\""},
      {"", ""},
      // Trail bytes 5C, 5B, 5D, 7B, 7D, 5E, 7C of double-byte characters stay
      // untouched.
      {Gbk("盶盵盷眥眪盺眧*.txt"), Gbk("盶盵盷眥眪盺眧") + ".*\\.txt"},
      {Gbk("文件(") + "?", Gbk("文件") + "\\(.?"},
  };
  for (const Case& c : cases) EXPECT_EQ(text::WildcardToPattern(c.filter).view(), c.pattern) << test::Utf8(c.filter);
}

TEST(FileTypeFilterTest, FilterExamples) {
  using Mode = text::FileTypeFilter::Mode;
  struct Case {
    std::string filter;
    Mode mode;
    std::vector<std::string> yes, no;
  } cases[] = {
      {"", Mode::kAll, {"a.txt", "b", ".x"}, {}},
      {"*", Mode::kAll, {"a.txt"}, {}},
      {"*.*", Mode::kAll, {"noext"}, {}},
      {"*.txt", Mode::kExtension, {"a.TXT", "b.txt", ".txt"}, {"a.txt.bak", "txt", "atxt"}},
      {"*.t?t", Mode::kExtension, {"x.t?t", "X.T?T"}, {"x.txt"}},
      {"file?.txt", Mode::kPattern, {"file.txt", "file1.txt", "FILE1.TXT", "myfile1.txt"}, {"file12.txt"}},
      {"*.txt|*.htm", Mode::kPattern, {"a.txt", "a.htm", "x.htm.bak", "b.TXT"}, {"a.csv"}},
      {"a*.txt", Mode::kPattern, {"ba.txt", "a.txt.bak", "a.txt"}, {"b.txt"}},
      {"*.(1)", Mode::kExtension, {"x.(1)"}, {"x.1", "x(1)"}},
      {"file[1].txt", Mode::kPattern, {"file[1].txt"}, {"file1.txt"}},
      {Gbk("*.文本"), Mode::kExtension, {Gbk("a.文本")}, {Gbk("a.文件")}},
      {Gbk("报告*"), Mode::kPattern, {Gbk("年度报告.txt"), Gbk("报告")}, {Gbk("报表.txt")}},
      {Gbk("盶*"), Mode::kPattern, {Gbk("盶a")}, {"a", Gbk("盵")}},
  };
  for (const Case& c : cases) {
    text::FileTypeFilter f(c.filter);
    EXPECT_EQ(f.mode(), c.mode) << test::Utf8(c.filter);
    for (const std::string& n : c.yes) EXPECT_TRUE(f.FileTypeMatches(n)) << test::Utf8(c.filter) << " " << test::Utf8(n);
    for (const std::string& n : c.no) EXPECT_FALSE(f.FileTypeMatches(n)) << test::Utf8(c.filter) << " " << test::Utf8(n);
  }
}

TEST(RegexMatcherTest, InvalidPatternIsNoMatch) {
  text::RegexMatcher m;
  EXPECT_TRUE(m.Create("a(b"));  // setting the pattern succeeds
  EXPECT_EQ(m.Execute("a(b"), 0);
  EXPECT_EQ(m.MatchCount(), 0);
  text::RegexMatcher copy = m;
  EXPECT_EQ(copy.Execute("x"), 0);
}

}  // namespace
}  // namespace tl
