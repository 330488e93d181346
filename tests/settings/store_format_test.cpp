// The bytes the store writes and what it reads back, for files written by
// the store and for files shaped by hand.
#include <functional>
#include <vector>

#include "store_fixture.h"

namespace tl::testing {
namespace {

using settings::SettingsStore;

struct Op {
  std::string section, key, value;  // UTF-8
};

struct WriteCase {
  const char* name;
  std::optional<std::string> initial;  // UTF-8 file content; nullopt: no file
  std::vector<Op> ops;
  std::string expected;  // UTF-8
};

class StoreFormat : public StoreTest {};

TEST_F(StoreFormat, FileBytesAfterWrites) {
  const WriteCase cases[] = {
      {"first key of an empty file", std::nullopt, {{"基本配置", "分隔符", ","}}, "[基本配置]\r\n分隔符=,"},
      {"new keys go right after the header", "", {{"S", "A", "1"}, {"S", "B", "2"}}, "[S]\r\nB=2\r\nA=1"},
      {"replacing touches only the value bytes", "[S]\r\nA=1\r\n[T]\r\nA=1", {{"S", "A", "xyz"}},
       "[S]\r\nA=xyz\r\n[T]\r\nA=1"},
      {"a key of a later section is not this section's", "[S]\r\nX=1\r\n[T]\r\nA=1", {{"S", "A", "2"}},
       "[S]\r\nA=2\r\nX=1\r\n[T]\r\nA=1"},
      {"a header inside a value is no header", "[T]\r\nv=x[S]\r\nA=1", {{"S", "A", "9"}},
       "[T]\r\nv=x[S]\r\nA=1\r\n[S]\r\nA=9"},
      {"a header after a bare LF is no header", "[X]\n[S]\r\nA=1", {{"S", "A", "2"}}, "[X]\n[S]\r\nA=1\r\n[S]\r\nA=2"},
      {"the last value runs to the end of the file", "[S]\r\nA=old", {{"S", "A", "new"}}, "[S]\r\nA=new"},
      {"an empty value is filled", "[S]\r\nA=\r\nB=2", {{"S", "A", "v"}}, "[S]\r\nA=v\r\nB=2"},
      {"a value is emptied", "[S]\r\nA=v\r\nB=2", {{"S", "A", ""}}, "[S]\r\nA=\r\nB=2"},
      {"the first of two same-named sections wins", "[S]\r\nA=1\r\n[S]\r\nA=2", {{"S", "A", "3"}},
       "[S]\r\nA=3\r\n[S]\r\nA=2"},
      {"a new section goes at the end", "[S]\r\nA=1", {{"T", "B", "2"}}, "[S]\r\nA=1\r\n[T]\r\nB=2"},
      {"a trailing CR LF is kept", "[S]\r\nA=1\r\n", {{"T", "B", "2"}}, "[S]\r\nA=1\r\n\r\n[T]\r\nB=2"},
      {"keys match exactly", "[S]\r\nA =1\r\na=2", {{"S", "A", "3"}}, "[S]\r\nA=3\r\nA =1\r\na=2"},
      {"values may hold = [ ]", "[S]\r\nA=1", {{"S", "A", "a=[b]c"}}, "[S]\r\nA=a=[b]c"},
      {"a section that is only text after CR LF", "junk\r\n[S]", {{"S", "K", "v"}, {"S", "K", "w"}},
       "junk\r\n[S]\r\nK=w"},
      {"growing and shrinking values keep the tail",
       "[S]\r\nA=1\r\nB=2\r\n[T]\r\nC=3",
       {{"S", "A", "一二三四五"}, {"S", "B", ""}, {"T", "C", "长长的值"}, {"S", "A", "x"}},
       "[S]\r\nA=x\r\nB=\r\n[T]\r\nC=长长的值"},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Ini());
    if (c.initial) Put("Tidyline.ini", G(*c.initial));
    SettingsStore store;
    ASSERT_TRUE(store.Open(Ini(), 0));
    for (const Op& op : c.ops) {
      store.SelectSection(G(op.section));
      EXPECT_TRUE(store.SetTextValue(G(op.key), G(op.value)));
      ExpectDiskMatches(store);
    }
    EXPECT_EQ(Utf8(Disk()), c.expected);
    store.Close();
  }
}

TEST_F(StoreFormat, TypedValuesAsStored) {
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  store.SelectSection(G("基本配置"));
  store.SetFlagValue(G("换行符"), true);
  store.SetTextValue(G("分隔符"), "");
  store.SetTextValue(G("文件类型"), "*.txt");
  store.SetNumberValue(G("编码"), 0);
  store.SetFlagValue(G("去重"), true);
  store.SetFlagValue(G("打乱"), false);
  EXPECT_EQ(Utf8(Disk()), "[基本配置]\r\n打乱=假\r\n去重=真\r\n编码=0\r\n文件类型=*.txt\r\n分隔符=\r\n换行符=真");

  store.SelectSection("N");
  const std::pair<double, const char*> numbers[] = {{2, "2"}, {0.1, "0.1"}, {-1.5e20, "-1.5e+20"},
                                                    {1.0 / 3, "0.3333333333333"}};
  for (auto [value, text] : numbers) {
    store.SetNumberValue("n", value);
    EXPECT_EQ(store.ReadEntry("N", "n", "").view(), text);
  }
  store.SetTextValue("t", G("a\r\nb\r\n"));
  EXPECT_EQ(store.ReadEntry("N", "t", "").view(), G("a┊*┊b┊*┊"));
  EXPECT_EQ(store.GetTextValue("t", "").view(), G("a\r\nb\r\n"));
  store.SetTimeValue("d", 41740.5);  // 2014-04-11 12:00
  EXPECT_EQ(Utf8(store.ReadEntry("N", "d", "").view()), "2014年4月11日12时");
  EXPECT_DOUBLE_EQ(store.GetTimeValue("d", 0), 41740.5);
  ExpectDiskMatches(store);
}

struct ReadCase {
  const char* name;
  std::string file, section, key, defaultValue, expected;  // UTF-8
};

TEST_F(StoreFormat, TextReads) {
  const ReadCase cases[] = {
      {"present", "[S]\r\nA=1\r\nB=2", "S", "B", "d", "2"},
      {"missing key", "[S]\r\nA=1", "S", "B", "d", "d"},
      {"missing section", "[S]\r\nA=1", "T", "A", "d", "d"},
      {"empty value is not the default", "[S]\r\nA=\r\nB=2", "S", "A", "d", ""},
      {"empty value at the end", "[S]\r\nA=", "S", "A", "d", ""},
      {"key only in a later section", "[S]\r\nX=1\r\n[T]\r\nA=1", "S", "A", "d", "d"},
      {"header inside a value", "[T]\r\nv=x[S]\r\nA=1", "S", "A", "d", "d"},
      {"header inside a value, key of the real section", "[T]\r\nv=x[S]\r\nA=1", "T", "A", "d", "1"},
      {"literal mark reads as a line break", "[S]\r\nA=a┊*┊b", "S", "A", "", "a\r\nb"},
      {"default with a line break survives", "", "S", "A", "x\r\ny", "x\r\ny"},
      {"value with = and brackets", "[S]\r\nA=k=[v]", "S", "A", "", "k=[v]"},
      {"bare LF belongs to the value", "[S]\r\nA=a\nb\r\nB=1", "S", "A", "", "a\nb"},
      {"a line that looks like a header but spans a line break", "[S]\r\n[x\r\ny]\r\nA=1", "S", "A", "d", "1"},
      {"section header not at a line start is skipped for the next", "x[S]\r\n[S]\r\nA=7", "S", "A", "d", "7"},
      {"no trimming of spaces", "[S]\r\n A=1", "S", "A", "d", "d"},
      {"case matters", "[s]\r\nA=1", "S", "A", "d", "d"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Put("Tidyline.ini", G(c.file));
    SettingsStore store;
    store.Open(Ini(), 0);
    store.SelectSection(G(c.section));
    EXPECT_EQ(Utf8(store.GetTextValue(G(c.key), G(c.defaultValue)).view()), c.expected);
    store.Close();
    EXPECT_EQ(Utf8(Disk()), c.file) << "reading changed the file";
  }
}

TEST_F(StoreFormat, NumberFlagAndTimeReads) {
  Put("Tidyline.ini", G("[S]\r\nE=\r\nN=2.5x\r\nW=１２\r\nX=abc\r\nT=真\r\nF=假\r\nO=1\r\nU=true\r\n"
                        "D=2014-04-11 12:30:15\r\nBad=2014-02-30"));
  SettingsStore store;
  store.Open(Ini(), 0);
  store.SelectSection("S");
  const std::pair<const char*, double> numbers[] = {{"E", 0}, {"N", 2.5}, {"W", 12}, {"X", 0}, {"Missing", 7}};
  for (auto [key, expected] : numbers) EXPECT_DOUBLE_EQ(store.GetNumberValue(key, 7), expected) << key;
  const std::tuple<const char*, bool, bool> flags[] = {
      {"T", false, true}, {"F", true, false}, {"O", true, false}, {"U", true, false},
      {"E", true, false}, {"Missing", true, true}, {"Missing", false, false}};
  for (auto [key, def, expected] : flags) EXPECT_EQ(store.GetFlagValue(key, def), expected) << key;
  EXPECT_DOUBLE_EQ(store.GetTimeValue("D", 0), 41740.0 + (12 * 3600 + 30 * 60 + 15) / 86400.0);
  EXPECT_DOUBLE_EQ(store.GetTimeValue("Bad", 0), rt::kMinDate);
  EXPECT_DOUBLE_EQ(store.GetTimeValue("Missing", 41740.25), 41740.25);
}

}  // namespace
}  // namespace tl::testing
