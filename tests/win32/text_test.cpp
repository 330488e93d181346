// Texts through every kind of control and the clipboard: GBK Chinese, CR LF
// line breaks, and characters GBK lacks (their GB18030 form).
#include <cstdio>

#include "runtime/os/codepage.h"
#include "support/gbk.h"
#include "win32/win32_support.h"

namespace tl::wintest {
namespace {

using test::Gbk;

class TextTest : public Win32Test {};

struct Trip {
  const char* what;
  WidgetKind kind;
  bool multi_line;
  int combo_type;
};

TEST_F(TextTest, TextsComeBackByteForByteFromEveryKindThatHoldsText) {
  Handle win = Window({40, 40, 500, 400});
  const Trip kinds[] = {
      {"single-line edit", WidgetKind::kEditBox, false, 0},
      {"multi-line edit", WidgetKind::kEditBox, true, 0},
      {"label", WidgetKind::kLabel, false, 0},
      {"button", WidgetKind::kButton, false, 0},
      {"check box", WidgetKind::kCheckBox, false, 0},
      {"radio button", WidgetKind::kRadioBox, false, 0},
      {"transparent label", WidgetKind::kTransLabel, false, 0},
      {"hyperlink", WidgetKind::kHyperLink, false, 0},
      {"editable combo box", WidgetKind::kComboBox, false, 1},
  };
  const std::string texts[] = {
      "plain ASCII",
      Gbk("待处理文本：中文测试"),
      Gbk("全角，标点。和半角,"),
      "",
  };
  for (const Trip& k : kinds) {
    WidgetSpec s;
    s.kind = k.kind;
    s.parent = win;
    s.rect = {10, 10, 300, k.multi_line ? 200 : 24};
    s.multi_line = k.multi_line;
    s.scroll_bars = k.multi_line ? 3 : 0;
    s.combo_type = k.combo_type;
    Handle h = Make(s);
    for (const std::string& t : texts) {
      os.SetText(h, t);
      EXPECT_EQ(os.GetText(h), t) << k.what;
    }
    os.DestroyWidget(h);
  }
  // The window's title too.
  os.SetText(win, Gbk("标题 Tidyline v1.20"));
  EXPECT_EQ(os.GetText(win), Gbk("标题 Tidyline v1.20"));
  EXPECT_EQ(WindowText(W(win)), Gbk("标题 Tidyline v1.20"));
}

TEST_F(TextTest, AMultiLineBoxKeepsCrLfAndLargeTexts) {
  Handle win = Window({40, 40, 500, 400});
  WidgetSpec s{.kind = WidgetKind::kEditBox, .parent = win, .rect = {10, 10, 300, 200}};
  s.multi_line = true;
  s.scroll_bars = 3;
  Handle box = Make(s);
  const std::string cases[] = {
      Gbk("第一行\r\n第二行\r\n"),
      "a\r\n\r\nb",
      Gbk("行尾没有换行\r\n最后"),
  };
  for (const std::string& t : cases) {
    os.SetText(box, t);
    EXPECT_EQ(os.GetText(box), t);
  }
  // Above the system's default typing limit of 32767 characters.
  std::string big;
  for (int i = 0; big.size() < 200000; ++i) big += Gbk("记录") + std::to_string(i) + "\r\n";
  os.SetText(box, big);
  EXPECT_EQ(os.GetText(box).size(), big.size());
  EXPECT_EQ(os.GetText(box), big);
  EXPECT_EQ(rec.Count(EventType::kTextChanged), 0) << "our own writes are not the user's changes";
}

TEST_F(TextTest, ADropDownListSelectsTheItemThatMatchesAText) {
  Handle win = Window({40, 40, 500, 400});
  WidgetSpec s{.kind = WidgetKind::kComboBox, .parent = win, .rect = {10, 10, 120, 23}};
  s.combo_type = 2;
  Handle combo = Make(s);
  const std::string items[] = {Gbk("自动识别"), "ANSI", "UTF-8", Gbk("繁体")};
  for (const auto& i : items) os.AddItem(combo, i);
  EXPECT_EQ(os.ItemCount(combo), 4);
  EXPECT_EQ(os.GetRect(combo), (Rect{10, 10, 120, 23})) << "the field has the stored height";
  struct Case {
    int select;
    int want;
  };
  for (Case c : {Case{2, 2}, Case{0, 0}, Case{3, 3}, Case{4, -1}, Case{-1, -1}, Case{1, 1}}) {
    os.SetSelection(combo, c.select);
    EXPECT_EQ(os.GetSelection(combo), c.want) << c.select;
  }
  os.SetText(combo, Gbk("繁体"));
  EXPECT_EQ(os.GetSelection(combo), 3);
  EXPECT_EQ(os.GetText(combo), Gbk("繁体"));
  EXPECT_EQ(rec.Count(EventType::kSelectionChanged), 0);
}

TEST_F(TextTest, TheClipboardCarriesGbkCrLfAndCharactersGbkLacks) {
  const std::string cases[] = {
      "ASCII only",
      Gbk("中文\r\n第二行\r\n"),
      Gbk("表情😀与扩展区𠀀字"),  // four-byte GB18030 forms
      Gbk("全角，"),
  };
  for (const std::string& t : cases) {
    ASSERT_TRUE(os.SetClipboardText(t));
    EXPECT_EQ(os.GetClipboardText(), t);
  }
  // Another program reads the Unicode form with every character.
  ASSERT_TRUE(os.SetClipboardText(Gbk("表情😀")));
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE h = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(h, nullptr);
  std::u16string wide(static_cast<const char16_t*>(GlobalLock(h)));
  GlobalUnlock(h);
  CloseClipboard();
  EXPECT_EQ(wide, u"表情😀");
}

TEST_F(TextTest, UnicodeTextFromAnotherProgramArrivesWholeAndAnsiTextAsItIs) {
  auto put_wide = [](const std::u16string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * 2);
    std::memcpy(GlobalLock(g), text.c_str(), (text.size() + 1) * 2);
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
  };
  put_wide(u"𠀀 and 中文\r\n");
  EXPECT_EQ(os.GetClipboardText(), Gbk("𠀀 and 中文\r\n"));
  put_wide(u"只有国标字");
  EXPECT_EQ(os.GetClipboardText(), Gbk("只有国标字"));
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(os.GetClipboardText(), std::nullopt) << "an empty clipboard holds no text";
}

TEST_F(TextTest, TypingReachesTheBoxUnlessTheRuntimeTakesTheKey) {
  Handle win = Window({40, 40, 500, 400});
  Handle box = Make(WidgetKind::kEditBox, win, {10, 10, 200, 24});
  Show(win);
  os.SetFocus(box);
  ASSERT_TRUE(PumpUntil([&] { return os.GetFocus() == box; }));
  HWND h = W(box);
  // Characters as the keyboard's translation posts them: one byte, and a
  // two-byte character as its lead and trail bytes.
  std::string zhong = Gbk("中");
  PostMessageA(h, WM_CHAR, 'x', 1);
  PostMessageA(h, WM_CHAR, static_cast<unsigned char>(zhong[0]), 1);
  PostMessageA(h, WM_CHAR, static_cast<unsigned char>(zhong[1]), 1);
  auto hex = [](const std::string& t) {
    std::string out;
    char b[4];
    for (unsigned char c : t) std::snprintf(b, sizeof b, "%02X ", c), out += b;
    return out;
  };
  auto chars_seen = [&] {
    std::string out;
    for (const auto& e : rec.events)
      if (e.event.type == EventType::kChar) out += std::to_string(e.event.key) + " ";
    return out;
  };
  ASSERT_TRUE(PumpUntil([&] { return os.GetText(box) == "x" + zhong; }))
      << "box holds " << hex(os.GetText(box)) << "; characters reported: " << chars_seen();
  std::vector<int> chars;
  for (const auto& e : rec.events)
    if (e.event.type == EventType::kChar) chars.push_back(e.event.key);
  EXPECT_EQ(chars, (std::vector<int>{'x', (static_cast<unsigned char>(zhong[0]) << 8) | static_cast<unsigned char>(zhong[1])}));
  EXPECT_GE(rec.Count(EventType::kTextChanged, box), 2);

  // A key the runtime takes (default_action = false) never reaches the box,
  // nor does its character.
  rec.reply = [&](Handle, const Event& e) {
    EventReply r;
    if ((e.type == EventType::kKeyDown && e.key == 'Q') || (e.type == EventType::kChar && e.key == 'z'))
      r.default_action = false;
    return r;
  };
  int keys = rec.Count(EventType::kKeyDown);
  PostMessageA(h, WM_KEYDOWN, 'Q', 1);
  PostMessageA(h, WM_CHAR, 'z', 1);
  PostMessageA(h, WM_CHAR, 'y', 1);
  ASSERT_TRUE(PumpUntil([&] { return os.GetText(box) == "x" + zhong + "y"; })) << "box holds " << hex(os.GetText(box));
  EXPECT_EQ(rec.Count(EventType::kKeyDown), keys + 1);
}

}  // namespace
}  // namespace tl::wintest
