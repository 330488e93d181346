// The embedded main-window template, read back as start-up reads it and
// checked unit by unit against the window's design: each unit is described
// in one line (geometry, flags, events and the properties that differ from
// its kind's defaults) and the lines are compared as a table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/main_window.h"
#include "runtime/window/template_props.h"
#include "support/gbk.h"

// Property blocks are compared with designated initializers: the fields left
// out keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tl::app::ui {
namespace {

using namespace rt::tpl;
using tl::test::Utf8;

std::string Asset(const char* name) {
  std::ifstream in(std::filesystem::path(TIDYLINE_SOURCE_DIR) / "assets" / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

WindowTemplate Embedded() {
  auto s = ReadTemplateSegment(MainWindowTemplateBytes());
  return s && s->windows.size() == 1 ? s->windows[0] : WindowTemplate{};
}

std::string Hex(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%X", v);
  return b;
}
std::string Escaped(std::string_view gbk) {
  std::string s = Utf8(gbk), out;
  for (char c : s) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  return out;
}
std::string Word(const std::string& f, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(f[at + i]);
  return std::to_string(static_cast<std::int32_t>(v));
}
// " font=宋体/-15" for SimSun of the shared look (width 0, weight 400, not
// italic or underlined, GB2312, precisions 3 and 2, quality 1, pitch 2).
std::string FontText(const std::string& f) {
  if (f.empty()) return "";
  if (f.size() != 60) return " font=?";
  const std::string tail = f.substr(20, 8);
  const bool shared = Word(f, 4) == "0" && Word(f, 16) == "400" && tail == std::string("\0\0\0\x86\x03\x02\x01\x02", 8);
  return " font=" + Utf8(f.substr(28, f.find('\0', 28) - 28)) + "/" + Word(f, 0) + (shared ? "" : "/odd");
}

std::string Describe(const Unit& u, const std::vector<Unit>& units) {
  std::string d = Utf8(u.name) + " " + Hex(u.id) + " " + std::to_string(u.left) + "," + std::to_string(u.top) + " " +
                  std::to_string(u.width) + "x" + std::to_string(u.height);
  if (u.flags != kFlagVisible) d += " flags=" + std::to_string(u.flags);
  if (u.parent) d += " in=" + Utf8(std::find_if(units.begin(), units.end(), [&](auto& x) { return x.id == u.parent; })->name);
  for (auto& e : u.events) d += " on" + std::to_string(e.event) + "=" + std::to_string(e.handler);
  if (!u.tag.empty()) d += " tag";
  auto props = ReadProps(u.kind, u.properties);
  if (!props) return d + " unreadable";
  std::visit(
      [&](const auto& p) {
        using P = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<P, WindowProps>) {
          d += " window \"" + p.title + "\" border=" + std::to_string(p.border) + " pos=" + std::to_string(p.position) +
               " min=" + std::to_string(p.min_button) + " max=" + std::to_string(p.max_button) +
               " box=" + std::to_string(p.control_box) + " move=" + std::to_string(p.movable) +
               " top=" + std::to_string(p.topmost) + " back=" + Hex(p.back_colour) +
               (p.class_name.empty() && p.icon.empty() && p.picture.empty() ? "" : " extras");
        } else if constexpr (std::is_same_v<P, LabelProps>) {
          d += " label \"" + Utf8(p.caption) + "\" border=" + std::to_string(p.border) + FontText(p.font);
        } else if constexpr (std::is_same_v<P, ButtonProps>) {
          d += " button \"" + Utf8(p.caption) + "\" type=" + std::to_string(p.type) + " align=" +
               std::to_string(p.h_align) + std::to_string(p.v_align) + FontText(p.font);
        } else if constexpr (std::is_same_v<P, CheckProps>) {
          d += " check \"" + Utf8(p.caption) + "\" v" + std::to_string(p.version) + " checked=" +
               std::to_string(p.checked) + (p.push_like || p.flat || p.text_left || p.h_align ? " odd" : "") +
               FontText(p.font);
        } else if constexpr (std::is_same_v<P, EditBoxProps>) {
          d += " edit \"" + Escaped(p.content) + "\" lines=" + std::to_string(p.multi_line) +
               " scroll=" + std::to_string(p.scroll_bars) + " align=" + std::to_string(p.align) +
               (p == EditBoxProps{.multi_line = p.multi_line, .scroll_bars = p.scroll_bars, .align = p.align,
                                  .font = p.font, .content = p.content}
                    ? ""
                    : " odd") +
               FontText(p.font);
        } else if constexpr (std::is_same_v<P, ComboBoxProps>) {
          d += " combo type=" + std::to_string(p.type) + " sel=" + std::to_string(p.selected) +
               " extra=" + std::to_string(p.item_height_extra) + " back=" + Hex(p.back_colour);
          for (auto& i : p.items) d += " [" + Utf8(i) + "]";
          d += FontText(p.font);
        } else if constexpr (std::is_same_v<P, HyperLinkerProps>) {
          d += " link \"" + Utf8(p.caption) + "\" " + p.target + " type=" + std::to_string(p.link_type) + " colours=" +
               Hex(p.colours[0]) + "," + Hex(p.colours[1]) + "," + Hex(p.colours[2]) + " back=" + Hex(p.back_colour) +
               FontText(p.font);
        } else if constexpr (std::is_same_v<P, PicBoxProps>) {
          d += " picbox back=" + Hex(p.back_colour) + " border=" + std::to_string(p.border) +
               (p.picture.empty() ? "" : " picture");
        } else if constexpr (std::is_same_v<P, PicBtnProps>) {
          d += " picbtn cut=" + Hex(p.transparent);
          for (auto& pic : p.pictures) d += " " + std::to_string(pic.size());
        } else if constexpr (std::is_same_v<P, TimerProps>) {
          d += " timer " + std::to_string(p.interval);
        } else if constexpr (std::is_same_v<P, ProcessBarProps>) {
          d += p == ProcessBarProps{} ? " bar defaults" : " bar odd";
        } else if constexpr (std::is_same_v<P, TransLabelProps>) {
          d += " trans \"" + Utf8(p.caption) + "\"" + FontText(p.font);
        }
      },
      *props);
  return d;
}

TEST(MainTemplate, EveryUnitRowByRow) {
  const std::string logo = std::to_string(Asset("logo.gif").size()) + " " + std::to_string(Asset("logo_hover.gif").size());
  const std::string home = std::to_string(Asset("home.gif").size()) + " " + std::to_string(Asset("home_hover.gif").size());
  const std::string rows[] = {
      " 6010017 50,50 662x521 on0=1 on1=2 window \"Tidyline v1.20\" border=2 pos=1 min=1 max=0 box=1 move=1 top=0 back=FF000000",
      "透明标签 1601C97A 24,459 600x24 trans \"\" font=宋体/-15",
      "进度条 1601C97B 8,459 632x24 bar defaults",
      "图片框横幅 1601A7D9 0,0 1000x90 picbox back=FFFFFF border=0",
      "时钟官网 1601A7DA 432,32 26x26 in=图片框横幅 on0=9 timer 20",
      "标签横幅 1601A7DB -1,88 1200x2 in=图片框横幅 label \"\" border=3",
      "图片Lumora软件 1601A7DC 40,12 195x64 in=图片框横幅 on0=10 picbtn cut=FF " + logo + " 0 0",
      "文字软件主页 1601A7E3 573,64 64x24 in=图片框横幅 link \"软件主页\" https://www.lumora.example/info.asp?id=92 "
      "type=1 colours=FF0000,FF0000,FF back=FFFFFF font=宋体/-12",
      "图片软件主页 1601A7E4 573,0 64x64 in=图片框横幅 on0=11 picbtn cut=0 " + home + " 0 0",
      "选择框打乱顺序 16014726 592,384 56x24 flags=5 check \"打乱\" v2 checked=0 font=宋体/-15",
      "选择框去重 16014725 528,384 56x24 flags=5 check \"去重\" v2 checked=1 font=宋体/-15",
      "标签5 16014721 328,100 112x24 label \"处理后的文本：\" border=0 font=宋体/-15",
      "标签4 16014720 8,100 96x24 label \"待处理文本：\" border=0 font=宋体/-15",
      "标签1 16010FA1 472,427 80x23 label \"文件编码：\" border=0 font=宋体/-15",
      "组合框编码 16010FA0 552,427 88x23 flags=5 combo type=2 sel=0 extra=1 back=FFFFFF [自动识别] [ANSI] [UTF-8] "
      "[Unicode] [Unicode BE] [Big5] font=宋体/-15",
      "编辑框过滤 16010F56 376,427 64x24 flags=5 edit \"*.txt\" lines=0 scroll=0 align=1 font=宋体/-15",
      "按钮选择文件夹 160107C9 184,423 272x32 flags=5 on0=7 on-4=8 button \"    选择文件夹批量处理\" type=0 align=01 font=宋体/-15",
      "按钮选择文件 160107C8 8,423 168x32 flags=5 on0=6 button \"选择文件批量处理\" type=0 align=11 font=宋体/-15",
      "按钮处理并复制结果 160107C7 450,100 192x24 flags=5 on0=5 button \"复制\" type=0 align=11 font=宋体/-15",
      "按钮处理 160107C6 384,380 120x32 flags=5 on0=4 button \"处理\" type=1 align=11 font=宋体/-15",
      "按钮粘贴 160107C5 128,100 192x24 flags=5 on0=3 button \"粘贴\" type=0 align=11 font=宋体/-15",
      "编辑框结果 160107C2 328,128 312x248 flags=5 edit \"\" lines=1 scroll=3 align=0 font=宋体/-15",
      "编辑框原文 160107C1 8,128 312x248 flags=5 edit "
      "\"777\\r\\n123\\r\\n321\\r\\n222\\r\\n333\\r\\n222\\r\\n321\\r\\n222\\r\\n555\\r\\n655\\r\\n777\" lines=1 scroll=3 "
      "align=0 font=宋体/-15",
      "单选框自己输入 16010037 192,384 88x24 flags=5 check \"自己输入\" v1 checked=0 font=宋体/-15",
      "单选框换行符 16010036 112,384 72x24 flags=5 check \"换行符\" v1 checked=1 font=宋体/-15",
      "编辑框分隔符 16010035 280,384 88x24 flags=5 edit \"\" lines=1 scroll=0 align=0 font=宋体/-15",
      "标签2 16010034 8,384 96x24 label \"文本分隔符：\" border=0 font=宋体/-15",
  };
  const WindowTemplate w = Embedded();
  EXPECT_EQ(w.id, 0x52010018u);
  EXPECT_EQ(std::vector<std::uint32_t>({w.head[0], w.head[1]}), std::vector<std::uint32_t>({0x10D2E3D6, 0x19010019}));
  ASSERT_EQ(w.units.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(Describe(w.units[i], w.units), rows[i]) << "unit " << i;
  EXPECT_EQ(w.units[3].children, (std::vector<std::uint32_t>{0x1601A7DA, 0x1601A7DB, 0x1601A7DC, 0x1601A7E3, 0x1601A7E4}));
}

// The picture buttons carry the committed artwork: GIFs of the stated sizes,
// a different image for the pressed state.
TEST(MainTemplate, BannerImages) {
  struct Row {
    const char* file;
    int width, height;
  } rows[] = {{"logo.gif", 195, 66}, {"logo_hover.gif", 195, 66}, {"home.gif", 64, 64}, {"home_hover.gif", 64, 64}};
  const WindowTemplate w = Embedded();
  ASSERT_EQ(w.units.size(), 27u);
  auto logo = std::get<PicBtnProps>(*ReadProps(kKindPicBtn, w.units[6].properties));
  auto home = std::get<PicBtnProps>(*ReadProps(kKindPicBtn, w.units[8].properties));
  const std::string stored[] = {logo.pictures[0], logo.pictures[1], home.pictures[0], home.pictures[1]};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string& gif = stored[i];
    EXPECT_EQ(gif, Asset(rows[i].file));
    ASSERT_GE(gif.size(), 10u);
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    auto word = [&](std::size_t at) { return static_cast<unsigned char>(gif[at]) | static_cast<unsigned char>(gif[at + 1]) << 8; };
    EXPECT_EQ(word(6), rows[i].width) << rows[i].file;
    EXPECT_EQ(word(8), rows[i].height) << rows[i].file;
  }
  EXPECT_NE(stored[0], stored[1]);
  EXPECT_NE(stored[2], stored[3]);
}

}  // namespace
}  // namespace tl::app::ui
