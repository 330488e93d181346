// Texts through every widget kind and the clipboard: GBK with CR LF on the
// program's side, UTF-8 with LF on GTK's and other programs' side.
#include <iconv.h>

#include "gtk/gtk_support.h"
#include "support/gbk.h"

namespace tl::gtktest {
namespace {

using tl::test::Gbk;

struct Sample {
  const char* what;
  std::string gbk;        // as the program hands it over
  std::string shown;      // as GTK holds it
  bool multi_line;
};

std::vector<Sample> Samples() {
  return {
      {"empty", "", "", false},
      {"ASCII", "abc 123", "abc 123", false},
      {"GBK", Gbk("待处理文本：去重"), "待处理文本：去重", false},
      {"outside GBK (GB18030 four-byte)", Gbk("表情😀与𠀀字"), "表情😀与𠀀字", false},
      {"CR LF", Gbk("第一行\r\n\r\nthird\r\n"), "第一行\n\nthird\n", true},
  };
}

// What GTK holds for a widget, read from the widget itself.
std::string Shown(Handle h, WidgetKind kind) {
  GtkWidget* w = G(h);
  switch (kind) {
    case WidgetKind::kTopWindow: {
      const char* t = gtk_window_get_title(GTK_WINDOW(w));
      return t ? t : "";
    }
    case WidgetKind::kLabel:
    case WidgetKind::kHyperLink: return gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(w))));
    case WidgetKind::kTransLabel: return gtk_label_get_text(GTK_LABEL(w));
    case WidgetKind::kButton:
    case WidgetKind::kCheckBox:
    case WidgetKind::kRadioBox: return gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(w))));
    case WidgetKind::kEditBox: {
      if (GTK_IS_ENTRY(w)) return gtk_entry_get_text(GTK_ENTRY(w));
      GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(gtk_bin_get_child(GTK_BIN(w))));
      GtkTextIter s, e;
      gtk_text_buffer_get_bounds(b, &s, &e);
      gchar* t = gtk_text_buffer_get_text(b, &s, &e, TRUE);
      std::string out = t;
      g_free(t);
      return out;
    }
    case WidgetKind::kComboBox:
      return gtk_entry_get_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(w))));
    default: return {};
  }
}

class TextTest : public GtkTest {};

TEST_F(TextTest, EveryWidgetKindShowsUtf8AndGivesBackTheProgramsBytes) {
  Handle win = Window({10, 10, 400, 300});
  struct Kind {
    WidgetKind kind;
    bool multi_line;
    int combo_type;
  };
  const Kind kinds[] = {
      {WidgetKind::kTopWindow, false, 0}, {WidgetKind::kLabel, false, 0},    {WidgetKind::kTransLabel, false, 0},
      {WidgetKind::kHyperLink, false, 0}, {WidgetKind::kButton, false, 0},   {WidgetKind::kCheckBox, false, 0},
      {WidgetKind::kRadioBox, false, 0},  {WidgetKind::kEditBox, false, 0},  {WidgetKind::kEditBox, true, 0},
      {WidgetKind::kComboBox, false, 1},  {WidgetKind::kPicBox, false, 0},   {WidgetKind::kProgressBar, false, 0},
  };
  for (const Kind& k : kinds) {
    Handle h = win;
    if (k.kind != WidgetKind::kTopWindow) {
      WidgetSpec s;
      s.kind = k.kind;
      s.parent = win;
      s.rect = {5, 5, 200, 60};
      s.multi_line = k.multi_line;
      s.scroll_bars = 3;
      s.combo_type = k.combo_type;
      h = Make(s);
      ASSERT_NE(h, platform::kNoHandle);
    }
    for (const Sample& t : Samples()) {
      // Captions and single-line boxes are not asked to hold line breaks.
      if (t.multi_line && !k.multi_line) continue;
      SCOPED_TRACE(std::string(t.what) + " in kind " + std::to_string(static_cast<int>(k.kind)) +
                   (k.multi_line ? " (multi-line)" : ""));
      os.SetText(h, t.gbk);
      EXPECT_EQ(os.GetText(h), t.gbk);
      if (k.kind != WidgetKind::kPicBox && k.kind != WidgetKind::kProgressBar) {
        EXPECT_EQ(Shown(h, k.kind), t.shown);
      }
    }
  }
  // The program's own writes are not reported as typing.
  EXPECT_EQ(rec.Count(EventType::kTextChanged), 0);
  EXPECT_EQ(rec.Count(EventType::kClick), 0);
}

TEST_F(TextTest, BytesThatAreNotGbkShowAsReplacementCharacters) {
  Handle win = Window({10, 10, 400, 300});
  Handle label = Make(WidgetKind::kLabel, win, {5, 5, 200, 24});
  const std::pair<std::string, std::string> cases[] = {
      {std::string("a\x81"), "a\uFFFD"},              // a lead byte cut off at the end
      {std::string("\xFF") + Gbk("中"), "\uFFFD中"},   // never a lead byte
  };
  for (const auto& [bytes, shown] : cases) {
    os.SetText(label, bytes);
    EXPECT_EQ(Shown(label, WidgetKind::kLabel), shown);
    EXPECT_EQ(os.GetText(label), bytes);  // the caption itself is kept as given
  }
}

TEST_F(TextTest, TypingAndPastedLineBreaksComeBackAsCrLf) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  Handle line = Make(WidgetSpec{.kind = WidgetKind::kEditBox, .parent = win, .rect = {5, 220, 200, 24}});
  GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(gtk_bin_get_child(GTK_BIN(G(edit)))));
  // Text from another program may hold CR LF already: it stays one break.
  gtk_text_buffer_set_text(b, "a\nb\r\nc😀", -1);
  EXPECT_EQ(os.GetText(edit), "a\r\nb\r\nc" + Gbk("😀"));
  EXPECT_EQ(rec.Count(EventType::kTextChanged, edit), 1);
  int pos = 0;
  gtk_editable_insert_text(GTK_EDITABLE(G(line)), "去重", -1, &pos);
  EXPECT_EQ(os.GetText(line), Gbk("去重"));
  EXPECT_EQ(rec.Count(EventType::kTextChanged, line), 1);
}

TEST_F(TextTest, ComboBoxItemsAndSelection) {
  Handle win = Window({10, 10, 400, 300});
  WidgetSpec s{.kind = WidgetKind::kComboBox, .parent = win, .rect = {5, 5, 88, 23}};
  s.combo_type = 2;
  Handle combo = Make(s);
  for (const char* item : {"自动识别", "ANSI", "UTF-8", "表情😀"}) os.AddItem(combo, Gbk(item));
  EXPECT_EQ(os.ItemCount(combo), 4);
  EXPECT_EQ(os.GetSelection(combo), -1);
  EXPECT_EQ(os.GetText(combo), "");
  os.SetSelection(combo, 3);
  EXPECT_EQ(os.GetSelection(combo), 3);
  EXPECT_EQ(os.GetText(combo), Gbk("表情😀"));
  os.SetSelection(combo, 10);  // out of range selects nothing
  EXPECT_EQ(os.GetSelection(combo), -1);
  EXPECT_EQ(rec.Count(EventType::kSelectionChanged), 0);
  gtk_combo_box_set_active(GTK_COMBO_BOX(G(combo)), 1);  // as the user picks
  EXPECT_EQ(rec.Count(EventType::kSelectionChanged, combo), 1);
}

TEST_F(TextTest, ClipboardGivesOtherProgramsUtf8WithLf) {
  for (const Sample& t : Samples()) {
    SCOPED_TRACE(t.what);
    ASSERT_TRUE(os.SetClipboardText(t.gbk));
    EXPECT_EQ(RunServing({"xclip", "-o", "-selection", "clipboard"}), t.shown);
    EXPECT_EQ(os.GetClipboardText(), t.gbk);
  }
}

TEST_F(TextTest, ClipboardFromOtherProgramsArrivesAsGbkWithCrLf) {
  const std::pair<std::string, std::string> cases[] = {
      {"one\ntwo\n", "one\r\ntwo\r\n"},
      {"已经是\r\nCR LF", Gbk("已经是\r\nCR LF")},
      {"😀\n𠀀", Gbk("😀\r\n𠀀")},
  };
  for (const auto& [offered, expected] : cases) {
    SCOPED_TRACE(offered);
    Child xclip;
    ASSERT_TRUE(xclip.Start({"xclip", "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, &offered));
    // xclip owns the clipboard once it has read its input.
    std::optional<std::string> got;
    EXPECT_TRUE(PumpUntil([&] {
      got = os.GetClipboardText();
      return got && *got == expected;
    })) << "clipboard holds [" << got.value_or("<none>") << "]";
  }
}

TEST_F(TextTest, OddClipboardTextsArriveAsGtkItselfReadsThem) {
  // Line breaks of every kind, NULs (the text ends at the first), bytes that
  // are not UTF-8 (GTK then tries the other targets), nothing at all.
  const std::string offers[] = {"a\r\nb\rc\n", std::string("ab\0cd\0", 6), std::string("\0x", 2), "a\xFF" "b", ""};
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  GtkWidget* view = gtk_bin_get_child(GTK_BIN(G(edit)));
  for (const std::string& offered : offers) {
    SCOPED_TRACE(testing::PrintToString(offered));
    Child xclip;
    ASSERT_TRUE(xclip.Start({"xclip", "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, &offered));
    ASSERT_TRUE(PumpUntil([&] {
      GtkSelectionData* d = gtk_clipboard_wait_for_contents(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD),
                                                            gdk_atom_intern_static_string("UTF8_STRING"));
      bool ours = d && gtk_selection_data_get_length(d) == static_cast<int>(offered.size()) &&
                  std::string(reinterpret_cast<const char*>(gtk_selection_data_get_data(d)), offered.size()) == offered;
      if (d) gtk_selection_data_free(d);
      return ours;
    })) << "xclip did not take the clipboard";
    gchar* gtk_text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    std::optional<std::string> want;
    if (gtk_text) {
      std::string crlf;
      for (const char* p = gtk_text; *p; ++p) {
        if (*p == '\n' && (p == gtk_text || p[-1] != '\r')) crlf += '\r';
        crlf += *p;
      }
      want = Gbk(crlf);
    }
    g_free(gtk_text);
    EXPECT_EQ(os.GetClipboardText(), want);
    // Ctrl+V at the caret (the start) gives the box the same text, or
    // leaves it as it was.
    os.SetText(edit, "after");
    g_signal_emit_by_name(view, "paste-clipboard");
    std::string expect = want ? *want + "after" : "after";
    EXPECT_TRUE(PumpUntil([&] { return os.GetText(edit) == expect; }, 1000)) << "the box holds " << testing::PrintToString(os.GetText(edit));
  }
}

}  // namespace
}  // namespace tl::gtktest

namespace tl::gtktest {
namespace {

class LargeTextTest : public GtkTest {
 protected:
  static std::string Lines(int count) {
    std::string out;
    const std::string word = Gbk("记录");
    for (int i = 0; i < count; ++i) out += word + std::to_string(i) + "\r\n";
    return out;
  }
  GtkTextView* View(Handle edit) { return GTK_TEXT_VIEW(gtk_bin_get_child(GTK_BIN(G(edit)))); }
};

TEST_F(LargeTextTest, ALargeTextGoesInByPiecesWhileTheWindowIsServed) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  Show(win);
  const std::string big = Lines(100000);  // about 1.3 MB, three pieces
  platform::TimerId timer = os.StartTimer(1);
  int ticks = 0;
  rec.reply = [&](Handle, const Event& e) {
    if (e.type == EventType::kTimer) ++ticks;
    return EventReply{};
  };
  os.SetText(edit, big);
  os.StopTimer(timer);
  EXPECT_GT(ticks, 0) << "the window was not served while the text went in";
  EXPECT_EQ(os.GetText(edit), big);
  GtkTextBuffer* b = gtk_text_view_get_buffer(View(edit));
  GtkTextIter cursor;
  gtk_text_buffer_get_iter_at_mark(b, &cursor, gtk_text_buffer_get_insert(b));
  EXPECT_EQ(gtk_text_iter_get_offset(&cursor), 0) << "the caret is not at the start";
  EXPECT_TRUE(gtk_text_view_get_editable(View(edit)));
  EXPECT_EQ(rec.Count(EventType::kTextChanged), 0);
}

TEST_F(LargeTextTest, ATextSetWhileAnotherGoesInReplacesIt) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  ASSERT_TRUE(SetTextReplacedMidway(edit, Lines(100000), Gbk("新的\r\n")));
  EXPECT_EQ(os.GetText(edit), Gbk("新的\r\n"));
  EXPECT_TRUE(gtk_text_view_get_editable(View(edit)));
}

TEST_F(LargeTextTest, TypedKeysReachTheRuntimeAndASwallowedKeyIsNotTyped) {
  Handle win = Window({10, 10, 300, 100});
  Handle line = Make(WidgetSpec{.kind = WidgetKind::kEditBox, .parent = win, .rect = {10, 10, 200, 24}});
  Show(win);
  rec.reply = [&](Handle, const Event& e) {
    EventReply r;
    if (e.type == EventType::kKeyDown && e.key == 'B') r.default_action = false;
    return r;
  };
  int ox = 0, oy = 0;
  ClientOrigin(win, ox, oy);
  XClick(ox + 50, oy + 20);
  ASSERT_TRUE(PumpUntil([&] { return gtk_widget_has_focus(G(line)); })) << "the box did not take the focus";
  RunServing({"xdotool", "type", "--delay", "20", "abc"});
  EXPECT_TRUE(PumpUntil([&] { return os.GetText(line) == "ac"; })) << "the box holds [" << os.GetText(line) << "]";
  EXPECT_EQ(rec.Count(EventType::kKeyDown, line), 3);
  EXPECT_EQ(rec.Count(EventType::kChar, line), 2);  // not for the swallowed key
  std::vector<int> chars;
  for (const auto& e : rec.events)
    if (e.event.type == EventType::kChar) chars.push_back(e.event.key);
  EXPECT_EQ(chars, (std::vector<int>{'a', 'c'}));
  EXPECT_EQ(os.GetFocus(), line);
}

}  // namespace
}  // namespace tl::gtktest

namespace tl::gtktest {
namespace {

class PasteTest : public GtkTest {
 protected:
  // Pastes the clipboard as Ctrl+V does and waits until the text is in.
  GtkTextBuffer* Paste(Handle edit, std::size_t expect_chars) {
    GtkWidget* view = gtk_bin_get_child(GTK_BIN(G(edit)));
    GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    g_signal_emit_by_name(view, "paste-clipboard");
    EXPECT_TRUE(PumpUntil([&] { return static_cast<std::size_t>(gtk_text_buffer_get_char_count(b)) >= expect_chars; }))
        << "the paste did not arrive";
    return b;
  }
  static int CursorOffset(GtkTextBuffer* b) {
    GtkTextIter it;
    gtk_text_buffer_get_iter_at_mark(b, &it, gtk_text_buffer_get_insert(b));
    return gtk_text_iter_get_offset(&it);
  }
};

TEST_F(PasteTest, ALargePasteLeavesTheCaretAtTheStartASmallOneAfterTheText) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  Show(win);
  ASSERT_TRUE(os.SetClipboardText("ab\r\ncd"));
  GtkTextBuffer* b = Paste(edit, 5);
  EXPECT_EQ(CursorOffset(b), 5);
  EXPECT_EQ(os.GetText(edit), "ab\r\ncd");

  std::string big;
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\r\n";
  os.SetText(edit, "");
  ASSERT_TRUE(os.SetClipboardText(big));
  b = Paste(edit, big.size() - 20000);  // LF only on GTK's side
  // Scrolling to the end of 20,000 lines before they are laid out would
  // freeze the window.
  EXPECT_EQ(CursorOffset(b), 0);
  EXPECT_EQ(os.GetText(edit), big);
  EXPECT_GE(rec.Count(EventType::kTextChanged, edit), 2) << "a paste is the user's change";
}

TEST_F(PasteTest, ALargePasteGoesInByPiecesOverTheSelectionWhileTheWindowIsServed) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  Show(win);
  std::string big;
  for (int i = 0; i < 60000; ++i) big += Gbk("记录") + std::to_string(i) + "\r\n";  // about 650 KB
  os.SetText(edit, "head[sample]tail");
  GtkWidget* view = gtk_bin_get_child(GTK_BIN(G(edit)));
  GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
  GtkTextIter from, to;
  gtk_text_buffer_get_iter_at_offset(b, &from, 4);
  gtk_text_buffer_get_iter_at_offset(b, &to, 12);
  gtk_text_buffer_select_range(b, &from, &to);
  ASSERT_TRUE(os.SetClipboardText(big));
  platform::TimerId timer = os.StartTimer(1);
  int ticks_while_read_only = 0, done = 0;
  rec.reply = [&](Handle, const Event& e) {
    if (e.type == EventType::kTimer && !gtk_text_view_get_editable(GTK_TEXT_VIEW(view))) ++ticks_while_read_only;
    return EventReply{};
  };
  gulong id = g_signal_connect_swapped(b, "paste-done", G_CALLBACK(+[](int* n) { ++*n; }), &done);
  g_signal_emit_by_name(view, "paste-clipboard");
  EXPECT_TRUE(PumpUntil([&] { return done > 0; }, 20000)) << "the paste did not finish";
  g_signal_handler_disconnect(b, id);
  os.StopTimer(timer);
  EXPECT_GT(ticks_while_read_only, 0) << "the window was not served while the text went in";
  EXPECT_TRUE(os.GetText(edit) == "head" + big + "tail");
  EXPECT_TRUE(gtk_text_view_get_editable(GTK_TEXT_VIEW(view)));
  EXPECT_EQ(CursorOffset(b), 0);  // more than 5000 lines
  EXPECT_EQ(rec.Count(EventType::kTextChanged, edit), 2) << "the selection removed, then the text pasted";
}

TEST_F(PasteTest, NothingIsPastedIntoAReadOnlyBox) {
  Handle win = Window({10, 10, 400, 300});
  WidgetSpec s{.kind = WidgetKind::kEditBox, .parent = win, .rect = {5, 5, 300, 200}, .text = "kept"};
  s.multi_line = true;
  s.input_mode = 1;
  Handle edit = Make(s);
  Handle open = Make(WidgetKind::kEditBox, win, {5, 210, 300, 80});
  ASSERT_TRUE(os.SetClipboardText("pasted"));
  g_signal_emit_by_name(gtk_bin_get_child(GTK_BIN(G(edit))), "paste-clipboard");
  // A paste into another box afterwards shows the first one had its chance.
  Paste(open, 6);
  EXPECT_EQ(os.GetText(edit), "kept");
  EXPECT_EQ(os.GetText(open), "pasted");
}

TEST_F(PasteTest, TheLinkColourFollowsTheRuntime) {
  Handle win = Window({10, 10, 300, 100});
  Handle link = Make(WidgetSpec{.kind = WidgetKind::kHyperLink, .parent = win, .rect = {10, 10, 64, 24}, .text = "home"});
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(G(link)));
  auto colour = [&] {
    GdkRGBA c;
    GtkStyleContext* ctx = gtk_widget_get_style_context(label);
    gtk_style_context_get_color(ctx, gtk_style_context_get_state(ctx), &c);
    return (static_cast<int>(c.red * 255 + 0.5) << 16) | (static_cast<int>(c.green * 255 + 0.5) << 8) |
           static_cast<int>(c.blue * 255 + 0.5);
  };
  os.SetTextColour(link, 0xFF0000);  // COLORREF blue
  EXPECT_EQ(colour(), 0x0000FF);
  os.SetTextColour(link, 0x0000FF);  // red under the pointer
  EXPECT_EQ(colour(), 0xFF0000);
}

}  // namespace
}  // namespace tl::gtktest

namespace tl::gtktest {
namespace {

// A multi-line box gives back the bytes the program set without reading its
// buffer again, as long as the buffer holds that very text; what it gives is
// always what reading the buffer would give.
class KeptTextTest : public GtkTest {
 protected:
  static GtkTextBuffer* Buffer(Handle edit) {
    return gtk_text_view_get_buffer(GTK_TEXT_VIEW(gtk_bin_get_child(GTK_BIN(G(edit)))));
  }
  // Changes the buffer and back, as typing and deleting a letter would: the
  // text is the same, but it is read from the buffer from now on.
  static void TouchBuffer(Handle edit) {
    GtkTextBuffer* b = Buffer(edit);
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(b, &end);
    gtk_text_buffer_insert(b, &end, "z", 1);
    GtkTextIter from, to;
    gtk_text_buffer_get_end_iter(b, &to);
    from = to;
    gtk_text_iter_backward_char(&from);
    gtk_text_buffer_delete(b, &from, &to);
  }
  // Many copies of a line, so the text goes in by pieces.
  static std::string Large(const std::string& line) {
    std::string out;
    while (out.size() < 1200 * 1024) out += line;
    return out;
  }
};

TEST_F(KeptTextTest, TextsThatDoNotComeBackAsGivenAreReadFromTheBuffer) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  const std::string fffd = Gbk("\uFFFD");
  struct Case {
    const char* what;
    std::string given, read;
  };
  const Case cases[] = {
      {"CR LF", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"lone LF", "a\nb", "a\r\nb"},
      {"LF first", "\nb", "\r\nb"},
      {"CR CR LF", "a\r\r\nb", "a\r\nb"},
      {"lone CR", "a\rb\r", "a\rb\r"},
      {"stray lead byte", "a\x81\r\nb", "a" + fffd + "\r\nb"},
      {"never a lead byte", "\xFF" + Gbk("中"), fffd + Gbk("中")},
  };
  for (const Case& c : cases)
    for (bool large : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (large ? " (large)" : ""));
      std::string given = large ? Large(Gbk("记录\r\n")) + c.given : c.given;
      std::string read = large ? Large(Gbk("记录\r\n")) + c.read : c.read;
      os.SetText(edit, given);
      EXPECT_EQ(os.GetText(edit), read);
      TouchBuffer(edit);
      EXPECT_EQ(os.GetText(edit), read);
    }
}

TEST_F(KeptTextTest, EveryGb18030CharacterComesBackAsGiven) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  // Every two-byte code, every four-byte code of the Basic Multilingual
  // Plane and a stride through the others that the C library's converter
  // takes (the others are replaced, see above), 64 to a line.
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string text;
  int on_line = 0, skipped = 0;
  auto add = [&](std::initializer_list<int> bytes) {
    char code[4], out[16];
    std::size_t len = 0;
    for (int b : bytes) code[len++] = static_cast<char>(b);
    char* in = code;
    char* to = out;
    std::size_t in_left = len, out_left = sizeof out;
    if (iconv(cd, &in, &in_left, &to, &out_left) == static_cast<std::size_t>(-1)) {
      ++skipped;
      return;
    }
    text.append(code, len);
    if (++on_line == 64) {
      text += "\r\n";
      on_line = 0;
    }
  };
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail)
      if (trail != 0x7F) add({lead, trail});
  for (int linear = 0; linear <= 39419; ++linear)  // 0x81308130 .. 0x8431A439
    add({0x81 + linear / 12600, 0x30 + linear / 1260 % 10, 0x81 + linear / 10 % 126, 0x30 + linear % 10});
  for (int linear = 0; linear < 1058400; linear += 97)  // 0x90308130 .. 0xE3329A35
    add({0x90 + linear / 12600, 0x30 + linear / 1260 % 10, 0x81 + linear / 10 % 126, 0x30 + linear % 10});
  iconv_close(cd);
  EXPECT_LT(skipped, 200);  // codes that GB18030-2022 gave up
  for (const std::string& t : {text, text + text + text + text + text}) {  // in one piece, in several
    SCOPED_TRACE(t.size());
    os.SetText(edit, t);
    EXPECT_TRUE(os.GetText(edit) == t) << "the kept text differs";
    TouchBuffer(edit);
    EXPECT_TRUE(os.GetText(edit) == t) << "the buffer does not give the characters back";
  }
}

TEST_F(KeptTextTest, AnyChangeToTheBufferIsSeen) {
  Handle win = Window({10, 10, 400, 300});
  Handle edit = Make(WidgetKind::kEditBox, win, {5, 5, 300, 200});
  const std::string large = Large(Gbk("记录\r\n"));
  struct Change {
    const char* what;
    std::function<void(GtkTextBuffer*)> apply;
    std::function<std::string(const std::string&)> expect;
  };
  const Change changes[] = {
      {"typed at the start",
       [](GtkTextBuffer* b) {
         GtkTextIter at;
         gtk_text_buffer_get_start_iter(b, &at);
         gtk_text_buffer_insert(b, &at, "x", 1);
       },
       [](const std::string& t) { return "x" + t; }},
      {"the buffer replaced", [](GtkTextBuffer* b) { gtk_text_buffer_set_text(b, "new", -1); },
       [](const std::string&) { return std::string("new"); }},
      {"emptied", [](GtkTextBuffer* b) { gtk_text_buffer_set_text(b, "", 0); },
       [](const std::string&) { return std::string(); }},
  };
  for (const Change& c : changes)
    for (const std::string& text : {Gbk("短文本\r\n"), large}) {
      SCOPED_TRACE(std::string(c.what) + (text.size() > 1000 ? " (large)" : ""));
      os.SetText(edit, text);
      c.apply(Buffer(edit));
      EXPECT_TRUE(os.GetText(edit) == c.expect(text));
    }
  // A text set while another goes in: the later one is what the box holds.
  ASSERT_TRUE(SetTextReplacedMidway(edit, large, Gbk("新的\r\n")));
  EXPECT_EQ(os.GetText(edit), Gbk("新的\r\n"));
  TouchBuffer(edit);
  EXPECT_EQ(os.GetText(edit), Gbk("新的\r\n"));
}

}  // namespace
}  // namespace tl::gtktest
