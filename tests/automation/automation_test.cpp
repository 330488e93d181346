// Automation commands driven against the in-process classes, and the filters
// that go through the RegExp class.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/automation/commands.h"
#include "runtime/automation/wide_text.h"
#include "support/gbk.h"
#include "support/wine.h"
#include "text/file_type_filter.h"
#include "text/regex_matcher.h"

namespace tl {
namespace {

using namespace rt;
using namespace rt::automation;
using test::Gbk;

Object Make(std::string_view progId) {
  Object o;
  EXPECT_TRUE(CreateObject(o.holder(), progId)) << progId;
  return o;
}

TEST(AutomationTest, CreateObjectMatchesProgIdsWithoutCase) {
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

// What the frame commands check themselves is in commands_test; these are the
// conversions a real class brings in.
TEST(AutomationTest, ResultAndArgumentConversions) {
  Object re = Make("VBScript.RegExp");
  const TypedArg text[] = {arg::Text("abc")};
  const TypedArg date[] = {arg::DateTime(1.0)};
  SetObjectProperty(re.holder(), "Pattern", text);
  struct Case {
    const char* what;
    std::function<void()> run;
    int code;
  } cases[] = {
      {"text result not a number", [&] { EXPECT_EQ(GetNumberProperty(re.holder(), "Pattern"), 0.0); }, kAutoBadResult},
      {"text result not an object", [&] { EXPECT_TRUE(GetObjectProperty(re.holder(), "Pattern").empty()); }, kAutoBadResult},
      {"date to a text parameter", [&] { EXPECT_FALSE(CallObjectMethodBool(re.holder(), "Test", date)); }, kAutoOk},
      {"get binds a method", [&] { EXPECT_TRUE(GetBoolProperty(re.holder(), "Test", text)); }, kAutoOk},
  };
  for (const Case& c : cases) {
    c.run();
    EXPECT_EQ(LastAutomationError(), c.code) << c.what;
  }
}

TEST(AutomationTest, MatchObjectsThroughTheFrame) {
  Object re = Make("VBScript.RegExp");
  const TypedArg put[] = {arg::Object(&re.holder()), arg::Text("Pattern"), arg::Text("b+")};
  EXPECT_EQ(CallCommand(cmd::kSetObjectProperty, 3, put).lo, 1u);
  const TypedArg exec[] = {arg::Object(&re.holder()), arg::Text("Execute"), arg::Text("abbbc")};
  Object matches = TakeObject(CallCommand(cmd::kCallObjectMethodObject, 3, exec));
  EXPECT_EQ(GetNumberProperty(matches.holder(), "Count"), 1.0);
  const TypedArg item[] = {arg::Object(&matches.holder()), arg::Text("Item"), arg::Int(0)};
  Object match = TakeObject(CallCommand(cmd::kGetObjectProperty, 3, item));
  EXPECT_EQ(GetTextProperty(match.holder(), "Value").view(), "bbb");
  EXPECT_EQ(GetNumberProperty(match.holder(), "FirstIndex"), 1.0);
  EXPECT_EQ(GetNumberProperty(match.holder(), "Length"), 3.0);
}

TEST(AutomationTest, RegExpMatching) {
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
  if (!test::UnderWine()) {  // wine cannot: test::kWineEmptyGlobalMatch
    set("Pattern", arg::Text("a*"));
    EXPECT_EQ(count("baaa"), 3.0);  // "", "aaa", "" as the scripting engine finds them
  }

  set("Pattern", arg::Text("(\\w+)@(\\w+)"));
  const TypedArg rep[] = {arg::Text("ann@home, bob@work"), arg::Text("$2:$1 [$&] $$")};
  EXPECT_EQ(CallObjectMethodText(re.holder(), "Replace", rep).view(), "home:ann [ann@home] $, work:bob [bob@work] $");

  set("Pattern", arg::Text("(unclosed"));
  const TypedArg subject[] = {arg::Text("unclosed")};
  EXPECT_FALSE(CallObjectMethodBool(re.holder(), "Test", subject));
  EXPECT_EQ(LastAutomationError(), kAutoException);
  EXPECT_TRUE(CallObjectMethodObject(re.holder(), "Execute", subject).empty());
}

TEST(AutomationTest, EnumeratingMatches) {
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

// --------------------------------------------------------------------------
// Filters: wildcard -> expression -> the RegExp class -> match count.

TEST(WildcardToPatternTest, Conversions) {
  struct Case {
    std::string filter, pattern;
  } cases[] = {
      {"file?.txt", "file.?\\.txt"}, {"*.txt|*.htm", ".*\\.txt|.*\\.htm"}, {"a*.txt", "a.*\\.txt"},
      {"file[1].txt", "file\\[1\\]\\.txt"}, {"a\\b", "a\\\\b"},
      {"^$+.{}[]=()\"", "\\^\\$\\+\\.\\{\\}\\[\\]\\=\\(\\)\\\""},
      {"", ""}, {"a**b***", "a.*b.*"},
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
      {"", Mode::kAll, {"a.txt", "b", ".x"}, {}}, {"*", Mode::kAll, {"a.txt"}, {}},
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
      // Runs of '*' are one '*', not a backtracking trap that loses a match.
      {"******************(*************", Mode::kPattern, {"********(************", "(x"}, {"x"}},
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

// Empty matches step on by one unit; a subject with characters outside the
// BMP must not stop the search halfway through a surrogate pair. The
// system's object on Windows counts UTF-16 units, so "." takes each half of
// a pair; the in-process class of Linux takes whole characters.
TEST(RegexMatcherTest, EmptyMatchesAcrossSurrogatePairs) {
#ifdef _WIN32
  constexpr bool kWindows = true;
#else
  constexpr bool kWindows = false;
#endif
  struct Case {
    std::string pattern;
    std::u16string subject;
    int matches, windowsMatches;
  } cases[] = {{"x*", u"\U0001F600", 2, -1}, {".?", u"a\U0001F600b", 4, -1}, {".", u"\U0001F600\U0001F601", 2, 4}};
  for (const Case& c : cases) {
    // -1: the empty-match rows cannot run where the tests do, under wine
    // (test::kWineEmptyGlobalMatch).
    if (kWindows && c.windowsMatches < 0) continue;
    text::RegexMatcher m;
    ASSERT_TRUE(m.Create(c.pattern));
    EXPECT_EQ(m.Execute(Utf16ToGbk(c.subject)), kWindows ? c.windowsMatches : c.matches) << c.pattern;
  }
}

}  // namespace
}  // namespace tl
