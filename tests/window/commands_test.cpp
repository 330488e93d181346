// The window, clipboard, message-box and dialog commands, through the
// command-call frame where the application uses it.
#include "runtime/window/window_commands.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

struct CommandTest : WindowTest {
  void SetUp() override { WindowTest::SetUp(), InitSynthetic(); }
};

TEST_F(CommandTest, ShowMessageButtonsStyleAndCaption) {
  struct Case {
    std::int32_t flags;
    int answer;
    std::int32_t result;
    std::uint32_t style;
  } cases[] = {
      {0, platform::kIdOk, 0, 0x2000},      {1, platform::kIdCancel, 1, 0x2001},
      {2, platform::kIdAbort, 2, 0x2002},   {2, platform::kIdRetry, 3, 0x2002},
      {2, platform::kIdIgnore, 4, 0x2002},  {4, platform::kIdYes, 5, 0x2004},
      {4, platform::kIdNo, 6, 0x2004},      {0x1030, platform::kIdOk, 0, 0x1030},  // system-modal stays so
      {0, 11, 0, 0x2000},                   // an unknown answer counts as OK
  };
  for (auto& c : cases) {
    os.AnswerMessageBox(c.answer);
    ResultRecord r = CallCommand(cmd::kShowMessage, {arg::Text("body"), arg::Int(c.flags)});
    EXPECT_EQ(r.as_int(), c.result) << c.flags << "/" << c.answer;
    EXPECT_EQ(os.MessageBoxes().back().style, c.style);
    EXPECT_EQ(os.MessageBoxes().back().caption, Gbk("信息："));
  }
  // Any value is shown as text, under the caption given.
  ByteSet bytes("xyz");  // a kind the message does not show
  const std::pair<TypedArg, std::string> contents[] = {
      {arg::Int(-12), "-12"}, {arg::Boolean(true), Gbk("真")}, {arg::Double(0.1), "0.1"}, {arg::Double(3.0), "3"},
      {arg::Byte(200), "200"}, {arg::ByteSet(bytes.block()), ""}, {arg::DateTime(41740.5), Gbk("2014年4月11日12时")},
  };
  for (auto& [value, text] : contents) {
    os.AnswerMessageBox(platform::kIdOk);
    CallCommand(cmd::kShowMessage, {value, arg::Int(0), arg::Text("cap")});
    EXPECT_EQ(os.MessageBoxes().back().text, text);
    EXPECT_EQ(os.MessageBoxes().back().caption, "cap");
  }
}

TEST_F(CommandTest, Clipboard) {
  EXPECT_EQ(TakeText(CallCommand(cmd::kGetClipboardText, {})).view(), "");  // holds no text
  EXPECT_TRUE(CallCommand(cmd::kSetClipboardText, {arg::Text("a\r\nb")}).lo);
  EXPECT_EQ(os.Clipboard(), "a\r\nb");
  EXPECT_EQ(TakeText(CallCommand(cmd::kGetClipboardText, {})).view(), "a\r\nb");
  EXPECT_TRUE(SetClipboardText(""));
  EXPECT_EQ(os.Clipboard(), "");
  os.SetClipboardFails(true);
  EXPECT_FALSE(SetClipboardText("x"));
  EXPECT_EQ(GetClipboardText().view(), "");
}

TEST_F(CommandTest, FileFilterParsing) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  // 0x7C ('|') as the trail byte of a GBK character must not split.
  std::string gbk_pipe = "\x81\x7C";
  struct Case {
    std::string filter;
    Pairs expected;
  } cases[] = {
      {"", {}},          {"TXT|*.txt", {{"TXT", "*.txt"}}}, {"TXT|*.txt||", {{"TXT", "*.txt"}}},
      {"A|*.a|B", {{"A", "*.a"}, {"B", ""}}},                {"A|*.a|B|*.b;*.c", {{"A", "*.a"}, {"B", "*.b;*.c"}}},
      {gbk_pipe + "|*.x", {{gbk_pipe, "*.x"}}},
  };
  for (auto& c : cases) EXPECT_EQ(ParseFileFilter(c.filter), c.expected) << c.filter;
}

TEST_F(CommandTest, OpenFilesDialogRequestAndResult) {
  std::vector<std::string> many;
  for (int i = 0; i < 3000; ++i) many.push_back("/data/folder-with-a-long-name/file-" + std::to_string(i) + ".txt");
  os.AnswerFilesDialog(many);  // far beyond a fixed 61440-byte buffer
  ResultRecord r = CallCommand(cmd::kOpenFilesDialog,
                               {arg::Omitted(), arg::Text("TXT|*.txt|INI|*.ini|ALL|*.*"), arg::Int(1),
                                arg::Text("/data"), arg::Int(1)});
  TextArray files = TakeTextArray(r);
  ASSERT_EQ(files.size(), many.size());
  EXPECT_EQ(files[1], many[0]);
  EXPECT_EQ(files[3000], many[2999]);
  const platform::OpenFilesRequest& req = os.FileDialogs().back();
  EXPECT_EQ(req.title, Gbk("请输入欲打开的文件："));
  EXPECT_EQ(req.filters.size(), 3u);
  EXPECT_EQ(req.filter_index, 1);
  EXPECT_EQ(req.initial_directory, "/data");
  EXPECT_TRUE(req.keep_current_directory);

  struct Index {
    std::optional<std::int32_t> given;
    int expected;
  } indexes[] = {{std::nullopt, 0}, {-3, 0}, {2, 2}, {3, 0}};
  for (auto& ix : indexes) {
    os.CancelFilesDialog();
    TextArray none = OpenFilesDialog("T", "A|*.a|B|*.b|C|*.c", ix.given, std::nullopt, 0);
    EXPECT_EQ(none.size(), 0u);
    auto* words = static_cast<const std::int32_t*>(none.block());
    EXPECT_EQ(words[0], 1);  // the empty array {1, 0}
    EXPECT_EQ(os.FileDialogs().back().filter_index, ix.expected);
    EXPECT_EQ(os.FileDialogs().back().title, "T");
    EXPECT_FALSE(os.FileDialogs().back().keep_current_directory);
  }
}

TEST_F(CommandTest, LoadWindowMoveAndReparent) {
  EXPECT_FALSE(CallCommand(cmd::kLoadWindow, {ControlArg({0x52019999, 0})}).lo);
  ASSERT_TRUE(CallCommand(cmd::kLoadWindow, {ControlArg({kWin, 0}), arg::Omitted(), arg::Boolean(false)}).lo);
  EXPECT_TRUE(IsWindowLoaded(kWin));

  struct Move {
    std::optional<std::int32_t> l, t, w, h;
    platform::Rect expected;
  } moves[] = {
      {10, 0, std::nullopt, std::nullopt, {10, 0, 600, 24}},
      {std::nullopt, 5, -1, -1, {10, 5, 600, 24}},
      {std::nullopt, std::nullopt, 300, -1, {10, 5, 300, 24}},
      {-4, std::nullopt, std::nullopt, 40, {-4, 5, 300, 40}},
  };
  for (auto& m : moves) {
    auto opt = [](std::optional<std::int32_t> v) { return v ? arg::Int(*v) : arg::Omitted(); };
    CallCommand(cmd::kMoveControl, {ControlArg({kWin, kTrans}), opt(m.l), opt(m.t), opt(m.w), opt(m.h)});
    EXPECT_EQ(Widget(kTrans).rect, m.expected);
  }
  EXPECT_EQ(PropertyAsInt(GetControlProperty(kWin, kTrans, 0)), -4);

  // Only a kind that holds controls can become a parent.
  CallCommand(cmd::kSetParentWindow, {ControlArg({kWin, kTrans}), ControlArg({kWin, kButton})});
  EXPECT_EQ(Widget(kTrans).parent, W(0));
  CallCommand(cmd::kSetParentWindow, {ControlArg({kWin, kTrans}), ControlArg({kWin, kBar})});
  EXPECT_EQ(Widget(kTrans).parent, W(kBar));
  SetParentWindow({kWin, kTrans}, {kWin, 0});
  EXPECT_EQ(Widget(kTrans).parent, W(0));
}

TEST_F(CommandTest, DoEventsDispatchesPendingInputButKeepsTheQuit) {
  ASSERT_TRUE(LoadWindow(kWin));
  SetStartupFinished(true);
  os.Click(W(kButton));
  os.Close(W(0));
  os.Click(W(kCheck));
  CallCommand(cmd::kDoEvents, {});
  EXPECT_EQ(Procs(), (std::vector<std::int32_t>{kOnCreated, kOnEvent3, kOnEvent4, kOnButton, kOnMayClose,
                                                kOnDestroying}));
  // The quit posted by the last window's destruction is still there.
  EXPECT_TRUE(os.RunFor(0));
  EXPECT_EQ(os.RunLoop(), 0);
}

TEST_F(CommandTest, ComboSelectionByTheUser) {
  ASSERT_TRUE(LoadWindow(kWin));
  os.Select(W(kCombo), 3);
  os.Select(W(kCombo), 9);  // not an item: ignored
  os.PumpPending();
  EXPECT_EQ(PropertyAsInt(GetControlProperty(kWin, kCombo, 19)), 3);
}

}  // namespace
}  // namespace tl::rt::test
