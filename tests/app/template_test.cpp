// The embedded main-window template, read back as start-up reads it and
// checked unit by unit against the window's design.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/main_window.h"
#include "runtime/window/template_props.h"
#include "support/gbk.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tl::app::ui {
namespace {

using namespace rt::tpl;
using tl::test::Gbk;
using tl::test::Utf8;

constexpr std::uint32_t kBlue = 0xFF0000, kRed = 0x0000FF, kWhite = 0xFFFFFF;

std::string Asset(const char* name) {
  std::ifstream in(std::filesystem::path(TIDYLINE_SOURCE_DIR) / "assets" / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const WindowTemplate& Embedded() {
  static const TemplateSegment segment = [] {
    auto s = ReadTemplateSegment(MainWindowTemplateBytes());
    EXPECT_TRUE(s.has_value());
    return s.value_or(TemplateSegment{});
  }();
  static const WindowTemplate none;
  return segment.windows.size() == 1 ? segment.windows[0] : none;
}

template <class P>
P PropsOf(const Unit& u) {
  auto p = ReadProps(u.kind, u.properties);
  EXPECT_TRUE(p && std::holds_alternative<P>(*p)) << Utf8(u.name);
  return p && std::holds_alternative<P>(*p) ? std::get<P>(*p) : P{};
}

// The font of a LOGFONTA block: height, weight, charset, precisions,
// quality, pitch-and-family and face name.
struct Font {
  std::int32_t height = 0, width = 0, weight = 0;
  int italic = 0, underline = 0, charset = 0, out = 0, clip = 0, quality = 0, pitch = 0;
  std::string face;
};
Font FontOf(const std::string& f) {
  Font r;
  if (f.size() != 60) return r;
  auto word = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(f[at + i]);
    return static_cast<std::int32_t>(v);
  };
  r.height = word(0), r.width = word(4), r.weight = word(16);
  r.italic = f[20], r.underline = f[21], r.charset = static_cast<unsigned char>(f[23]);
  r.out = f[24], r.clip = f[25], r.quality = f[26], r.pitch = f[27];
  r.face = Utf8(f.substr(28, f.find('\0', 28) - 28));
  return r;
}

TEST(MainTemplate, WindowUnit) {
  const WindowTemplate& w = Embedded();
  ASSERT_EQ(w.units.size(), 27u);
  EXPECT_EQ(w.id, 0x52010018u);
  EXPECT_EQ(w.head[0], 0x10D2E3D6u);
  EXPECT_EQ(w.head[1], 0x19010019u);
  const Unit& u = w.units[0];
  EXPECT_EQ(u.id, 0x06010017u);
  EXPECT_EQ(u.kind, kKindWindow);
  EXPECT_EQ(std::vector<std::int32_t>({u.left, u.top, u.width, u.height}), std::vector<std::int32_t>({50, 50, 662, 521}));
  EXPECT_EQ(u.events, (std::vector<EventBinding>{{0, kOnMainWindowCreated}, {1, kOnMainWindowCloseQuery}}));
  auto p = PropsOf<WindowProps>(u);
  EXPECT_EQ(p.title, "Tidyline v1.20");
  EXPECT_EQ(p.border, 2);
  EXPECT_EQ(p.position, 1);
  EXPECT_EQ(p.max_button, 0);
  EXPECT_EQ(p.min_button, 1);
  EXPECT_EQ(p.control_box, 1);
  EXPECT_EQ(p.movable, 1);
  EXPECT_EQ(p.topmost, 0);
  EXPECT_EQ(p.back_colour, kColourDefault);
  EXPECT_TRUE(p.class_name.empty() && p.icon.empty() && p.picture.empty() && p.music.empty());
}

// Every control: stored order, unit id, kind, geometry, tab stop, parent and
// bound events.
TEST(MainTemplate, ControlsInStoredOrder) {
  const std::uint32_t banner = 0x1601A7D9;
  struct Row {
    const char* name;
    std::uint32_t kind, id;
    std::int32_t left, top, width, height;
    bool tab;
    std::uint32_t parent;
    std::vector<EventBinding> events;
  } rows[] = {
      {"透明标签", kKindTransLabel, 0x1601C97A, 24, 459, 600, 24, false, 0, {}},
      {"进度条", kKindProcessBar, 0x1601C97B, 8, 459, 632, 24, false, 0, {}},
      {"图片框横幅", kKindPicBox, 0x1601A7D9, 0, 0, 1000, 90, false, 0, {}},
      {"时钟官网", kKindTimer, 0x1601A7DA, 432, 32, 26, 26, false, banner, {{0, kOnSlideTimer}}},
      {"标签横幅", kKindLabel, 0x1601A7DB, -1, 88, 1200, 2, false, banner, {}},
      {"图片Lumora软件", kKindPicBtn, 0x1601A7DC, 40, 12, 195, 64, false, banner, {{0, kOnLogoClick}}},
      {"文字软件主页", kKindHyperLinker, 0x1601A7E3, 573, 64, 64, 24, false, banner, {}},
      {"图片软件主页", kKindPicBtn, 0x1601A7E4, 573, 0, 64, 64, false, banner, {{0, kOnHomepageImageClick}}},
      {"选择框打乱顺序", kKindCheckBox, 0x16014726, 592, 384, 56, 24, true, 0, {}},
      {"选择框去重", kKindCheckBox, 0x16014725, 528, 384, 56, 24, true, 0, {}},
      {"标签5", kKindLabel, 0x16014721, 328, 100, 112, 24, false, 0, {}},
      {"标签4", kKindLabel, 0x16014720, 8, 100, 96, 24, false, 0, {}},
      {"标签1", kKindLabel, 0x16010FA1, 472, 427, 80, 23, false, 0, {}},
      {"组合框编码", kKindComboBox, 0x16010FA0, 552, 427, 88, 23, true, 0, {}},
      {"编辑框过滤", kKindEditBox, 0x16010F56, 376, 427, 64, 24, true, 0, {}},
      {"按钮选择文件夹", kKindButton, 0x160107C9, 184, 423, 272, 32, true, 0,
       {{0, kOnChooseFolderClick}, {-4, kOnChooseFolderRightDown}}},
      {"按钮选择文件", kKindButton, 0x160107C8, 8, 423, 168, 32, true, 0, {{0, kOnChooseFilesClick}}},
      {"按钮处理并复制结果", kKindButton, 0x160107C7, 450, 100, 192, 24, true, 0, {{0, kOnCopyClick}}},
      {"按钮处理", kKindButton, 0x160107C6, 384, 380, 120, 32, true, 0, {{0, kOnProcessClick}}},
      {"按钮粘贴", kKindButton, 0x160107C5, 128, 100, 192, 24, true, 0, {{0, kOnPasteClick}}},
      {"编辑框结果", kKindEditBox, 0x160107C2, 328, 128, 312, 248, true, 0, {}},
      {"编辑框原文", kKindEditBox, 0x160107C1, 8, 128, 312, 248, true, 0, {}},
      {"单选框自己输入", kKindRadioBox, 0x16010037, 192, 384, 88, 24, true, 0, {}},
      {"单选框换行符", kKindRadioBox, 0x16010036, 112, 384, 72, 24, true, 0, {}},
      {"编辑框分隔符", kKindEditBox, 0x16010035, 280, 384, 88, 24, true, 0, {}},
      {"标签2", kKindLabel, 0x16010034, 8, 384, 96, 24, false, 0, {}},
  };
  const WindowTemplate& w = Embedded();
  ASSERT_EQ(w.units.size(), std::size(rows) + 1);
  std::vector<std::uint32_t> bannerChildren;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    const Unit& u = w.units[i + 1];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(Utf8(u.name), r.name);
    EXPECT_EQ(u.kind, r.kind);
    EXPECT_EQ(u.id, r.id);
    EXPECT_EQ(std::vector<std::int32_t>({u.left, u.top, u.width, u.height}),
              std::vector<std::int32_t>({r.left, r.top, r.width, r.height}));
    EXPECT_EQ((u.flags & kFlagTabStop) != 0, r.tab);
    EXPECT_EQ(u.flags & kFlagDisabled, 0u);
    EXPECT_EQ(u.parent, r.parent);
    EXPECT_EQ(u.events, r.events);
    EXPECT_TRUE(u.tag.empty());
    EXPECT_EQ(u.tab_position, 0);
    if (r.parent == banner) bannerChildren.push_back(r.id);
    if (r.kind != kKindTimer) {
      EXPECT_TRUE(u.flags & kFlagVisible);
    }
  }
  EXPECT_EQ(w.units[3].children, bannerChildren);
}

// Captions, contents and the shared looks of each kind.
TEST(MainTemplate, ControlContents) {
  const WindowTemplate& w = Embedded();
  ASSERT_EQ(w.units.size(), 27u);
  auto at = [&](std::uint32_t id) -> const Unit& {
    for (const Unit& u : w.units)
      if (u.id == id) return u;
    ADD_FAILURE() << std::hex << id;
    return w.units[0];
  };
  auto simsun = [](const std::string& f, std::int32_t height) {
    Font x = FontOf(f);
    EXPECT_EQ(x.face, "宋体");
    EXPECT_EQ(x.height, height);
    EXPECT_EQ(x.width, 0);
    EXPECT_EQ(x.weight, 400);
    EXPECT_EQ(x.italic + x.underline, 0);
    EXPECT_EQ(std::vector<int>({x.charset, x.out, x.clip, x.quality, x.pitch}), std::vector<int>({134, 3, 2, 1, 2}));
  };

  // Labels: caption, border.
  struct LabelRow {
    std::uint32_t id;
    const char* caption;
    int border;
    bool font;
  } labels[] = {{kResultLabel, "处理后的文本：", 0, true},
                {kSourceLabel, "待处理文本：", 0, true},
                {kEncodingLabel, "文件编码：", 0, true},
                {kSeparatorLabel, "文本分隔符：", 0, true},
                {kBannerRule, "", 3, false}};
  for (auto& l : labels) {
    SCOPED_TRACE(l.caption);
    auto p = PropsOf<LabelProps>(at(l.id));
    EXPECT_EQ(Utf8(p.caption), l.caption);
    EXPECT_EQ(p.border, l.border);
    EXPECT_EQ(p.text_colour, 0u);
    if (l.font) {
      simsun(p.font, -15);
    } else {
      EXPECT_TRUE(p.font.empty());
    }
  }

  // Buttons: caption, default button, horizontal alignment.
  struct ButtonRow {
    std::uint32_t id;
    const char* caption;
    int type, h_align;
  } buttons[] = {{kFolderButton, "    选择文件夹批量处理", 0, 0}, {kFilesButton, "选择文件批量处理", 0, 1},
                 {kCopyButton, "复制", 0, 1}, {kProcessButton, "处理", 1, 1}, {kPasteButton, "粘贴", 0, 1}};
  for (auto& b : buttons) {
    SCOPED_TRACE(b.caption);
    auto p = PropsOf<ButtonProps>(at(b.id));
    EXPECT_EQ(Utf8(p.caption), b.caption);
    EXPECT_EQ(p.type, b.type);
    EXPECT_EQ(p.h_align, b.h_align);
    EXPECT_EQ(p.v_align, 1);
    EXPECT_TRUE(p.picture.empty());
    simsun(p.font, -15);
  }

  // Check boxes and radio buttons: caption, state, version.
  struct CheckRow {
    std::uint32_t id;
    const char* caption;
    int checked;
    std::uint32_t version;
  } checks[] = {{kShuffleCheck, "打乱", 0, 2}, {kDedupeCheck, "去重", 1, 2},
                {kTypedRadio, "自己输入", 0, 1}, {kLineBreakRadio, "换行符", 1, 1}};
  for (auto& c : checks) {
    SCOPED_TRACE(c.caption);
    auto p = PropsOf<CheckProps>(at(c.id));
    EXPECT_EQ(Utf8(p.caption), c.caption);
    EXPECT_EQ(p.checked, c.checked);
    EXPECT_EQ(p.version, c.version);
    EXPECT_EQ(p.push_like + p.flat + p.text_left + p.h_align, 0);
    EXPECT_EQ(p.back_colour, kColourDefault);
    simsun(p.font, -15);
  }

  // Edit boxes: content, lines, scroll bars, alignment.
  struct EditRow {
    std::uint32_t id;
    std::string content;
    int multi, scroll, align;
  } edits[] = {{kFilterEdit, "*.txt", 0, 0, 1},
               {kResultEdit, "", 1, 3, 0},
               {kSourceEdit, "777\r\n123\r\n321\r\n222\r\n333\r\n222\r\n321\r\n222\r\n555\r\n655\r\n777", 1, 3, 0},
               {kSeparatorEdit, "", 1, 0, 0}};
  for (auto& e : edits) {
    SCOPED_TRACE(e.id);
    auto p = PropsOf<EditBoxProps>(at(e.id));
    EXPECT_EQ(p.content, e.content);
    EXPECT_EQ(std::vector<int>({p.multi_line, p.scroll_bars, p.align}), std::vector<int>({e.multi, e.scroll, e.align}));
    EXPECT_EQ(std::vector<int>({p.border, p.hide_selection, p.max_length, p.input_mode, p.letter_case, p.spin}),
              std::vector<int>({1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(p.text_colour, 0u);
    EXPECT_EQ(p.back_colour, kWhite);
    simsun(p.font, -15);
  }

  auto combo = PropsOf<ComboBoxProps>(at(kEncodingCombo));
  std::vector<std::string> items;
  for (auto& i : combo.items) items.push_back(Utf8(i));
  EXPECT_EQ(items, (std::vector<std::string>{"自动识别", "ANSI", "UTF-8", "Unicode", "Unicode BE", "Big5"}));
  EXPECT_EQ(std::vector<int>({combo.type, combo.selected, combo.item_height_extra}), std::vector<int>({2, 0, 1}));
  EXPECT_EQ(combo.back_colour, kWhite);
  simsun(combo.font, -15);

  auto link = PropsOf<HyperLinkerProps>(at(kHomeLink));
  EXPECT_EQ(Utf8(link.caption), "软件主页");
  EXPECT_EQ(link.target, "https://www.lumora.example/info.asp?id=92");
  EXPECT_EQ(link.link_type, 1);
  EXPECT_EQ(std::vector<std::uint32_t>(std::begin(link.colours), std::end(link.colours)),
            std::vector<std::uint32_t>({kBlue, kBlue, kRed}));
  EXPECT_EQ(link.back_colour, kWhite);
  simsun(link.font, -12);

  EXPECT_EQ(PropsOf<PicBoxProps>(at(kBanner)).back_colour, kWhite);
  EXPECT_EQ(PropsOf<PicBoxProps>(at(kBanner)).border, 0);
  EXPECT_TRUE(PropsOf<PicBoxProps>(at(kBanner)).picture.empty());
  EXPECT_EQ(PropsOf<TimerProps>(at(kSlideTimer)).interval, 20);
  auto bar = PropsOf<ProcessBarProps>(at(kProgressBar));
  EXPECT_EQ(std::vector<int>({bar.minimum, bar.maximum, bar.position}), std::vector<int>({0, 100, 0}));
  auto status = PropsOf<TransLabelProps>(at(kStatusLabel));
  EXPECT_TRUE(status.caption.empty());
  simsun(status.font, -15);
}

// The picture buttons carry the committed artwork, cut by their colours.
TEST(MainTemplate, BannerImages) {
  const WindowTemplate& w = Embedded();
  ASSERT_EQ(w.units.size(), 27u);
  struct Row {
    std::size_t index;
    std::uint32_t transparent;
    const char *normal, *hover;
    int width, height;
  } rows[] = {{6, kRed, "logo.gif", "logo_hover.gif", 195, 66}, {8, 0x000000, "home.gif", "home_hover.gif", 64, 64}};
  // The logical screen size of a GIF: two little-endian words after "GIF89a".
  auto size = [](const std::string& gif) {
    auto word = [&](std::size_t at) { return static_cast<unsigned char>(gif[at]) | static_cast<unsigned char>(gif[at + 1]) << 8; };
    return gif.size() < 10 ? std::vector<int>{} : std::vector<int>{word(6), word(8)};
  };
  for (auto& r : rows) {
    SCOPED_TRACE(r.normal);
    auto p = PropsOf<PicBtnProps>(w.units[r.index]);
    EXPECT_EQ(p.transparent, r.transparent);
    EXPECT_EQ(p.pictures[0], Asset(r.normal));
    EXPECT_EQ(p.pictures[1], Asset(r.hover));
    EXPECT_NE(p.pictures[0], p.pictures[1]);
    EXPECT_TRUE(p.pictures[2].empty() && p.pictures[3].empty());
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(p.pictures[i].substr(0, 6), "GIF89a");
      EXPECT_EQ(size(p.pictures[i]), std::vector<int>({r.width, r.height}));
    }
  }
}

}  // namespace
}  // namespace tl::app::ui
