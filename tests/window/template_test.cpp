// The template byte format: round trips, defaults, versions, and hostile
// blocks that must be refused without reading out of bounds.
#include <fstream>
#include <random>
#include <sstream>

#include "runtime/window/bytes.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

using namespace tpl;

TEST(TemplateFormat, SegmentRoundTripsAndRecordsAreFoundThroughOffsets) {
  TemplateSegment seg = SyntheticWindows({kWin, 0x52010020});
  // The second window's records are laid out in reverse order.
  WindowTemplate& second = seg.windows[1];
  second.text1 = "one";
  second.text2 = "two";
  for (std::size_t i = second.units.size(); i-- > 0;) second.record_order.push_back(i);
  std::string bytes = WriteTemplateSegment(seg);
  auto back = ReadTemplateSegment(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, seg);
  EXPECT_EQ(back->windows[1].units[Index(kRadioB)].name, "radioB");
}

// Bytes laid out by hand from the format, committed once: the reader must
// find every field where the format puts it, and the writer must give the
// same bytes back (a field-order fault in both would cancel out in a round
// trip).
std::string ReferenceBytes(const char* file) {
  std::ifstream in(std::string(TIDYLINE_SOURCE_DIR) + "/tests/window/" + file);
  std::string bytes, line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream hex(line);
    std::string pair;
    while (hex >> pair) bytes.push_back(static_cast<char>(std::stoul(pair, nullptr, 16)));
  }
  return bytes;
}

TemplateSegment ReferenceSegment() {
  WindowTemplate w;
  w.id = 0x52010018;
  w.text1 = "A";
  Unit window;
  window.id = 0x06010017;
  window.kind = kKindWindow;
  window.left = 100;
  window.top = 200;
  window.width = 300;
  window.height = 400;
  window.children = {0x16010001};
  window.flags = kFlagVisible;
  window.events = {{0, kNoHandler}};
  window.properties = std::string("\x06\0\0\0\x02\0\0\0", 8);
  Unit label;
  label.id = 0x16010001;
  label.kind = kKindLabel;
  label.name = "lbl";
  label.remark = "note";
  label.object_slot = 7;
  label.left = -5;
  label.top = 6;
  label.width = 70;
  label.height = 80;
  label.cursor_slot = 9;
  label.parent = 0x06010017;
  label.cursor = std::string(4, '\0');
  label.tag = "\xD6\xD0";
  label.reserved_mid = 3;
  label.flags = kFlagVisible | kFlagTabStop;
  label.tab_position = 11;
  label.events = {{1, 0x120}, {2, kNoHandler}};
  label.properties = std::string("\x01\0\0\0xyz", 7);
  for (Unit* u : {&window, &label}) {
    u->reserved_head.clear();
    u->reserved_tail.clear();
    for (char c = 1; c <= 20; ++c) u->reserved_head.push_back(c);
    for (char c = 0x41; c <= 0x54; ++c) u->reserved_tail.push_back(c);
  }
  w.units = {window, label};
  w.record_order = {1, 0};  // the label's record comes first
  return TemplateSegment{{w}};
}

TEST(TemplateFormat, ReadsAndWritesTheReferenceBytes) {
  const std::string bytes = ReferenceBytes("reference_template.hex");
  ASSERT_EQ(bytes.size(), 315u);
  const TemplateSegment expected = ReferenceSegment();
  auto back = ReadTemplateSegment(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, expected);
  EXPECT_EQ(WriteTemplateSegment(expected), bytes);
}

TEST(TemplateFormat, MenuUnitsAreKeptButNotParsed) {
  TemplateSegment seg = SyntheticWindows({kWin});
  Unit menu;
  menu.id = 0x26010001;  // bits 24-27 = 6, bits 28-31 = 2
  menu.menu = true;
  menu.menu_record = "not a unit record at all";
  seg.windows[0].units.push_back(menu);
  auto back = ReadTemplateSegment(WriteTemplateSegment(seg));
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->windows[0].units.back().menu);
  EXPECT_EQ(back->windows[0].units.back().menu_record, menu.menu_record);
  EXPECT_TRUE(IsMenuUnitId(menu.id));
  EXPECT_FALSE(IsMenuUnitId(kWinUnit));
  EXPECT_FALSE(IsValidUnitId(0x16000000));
  EXPECT_FALSE(IsValidUnitId(0x00000017));
  EXPECT_TRUE(IsValidUnitId(kButton));
}

// An identifier whose number (low 24 bits) or type (bits 24-27) is empty
// names no unit: the block is refused, for the window's own unit and for a
// control alike.
TEST(TemplateFormat, InvalidUnitIdsAreRefused) {
  const struct {
    std::uint32_t id;
    bool valid;
  } ids[] = {{0, false}, {0x16000000, false}, {0x00000017, false}, {0xF0012345, false},
             {0x01000001, true}, {0x0F000001, true}, {0xFFFFFFFF, true}};
  for (auto [id, valid] : ids) {
    for (std::size_t unit : {std::size_t{0}, Index(kButton)}) {
      TemplateSegment seg = SyntheticWindows({kWin});
      seg.windows[0].units[unit].id = id;
      EXPECT_EQ(ReadTemplateSegment(WriteTemplateSegment(seg)).has_value(), valid) << std::hex << id << " " << unit;
    }
  }
}

// Every prefix of a valid segment is refused, never read past its end.
TEST(TemplateFormat, EveryTruncationIsRefused) {
  std::string bytes = WriteTemplateSegment(SyntheticWindows({kWin}));
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::string cut = bytes.substr(0, n);  // exact-size copy so ASan sees overreads
    EXPECT_FALSE(ReadTemplateSegment(cut)) << "prefix " << n;
  }
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(TemplateFormat, LengthsPastTheEndAreRefused) {
  std::string bytes = WriteTemplateSegment(SyntheticWindows({kWin}));
  // Window list length, then the window record's fields.
  const std::size_t list = 0, text1 = 4 + 8 + 8, count = text1 + 8, table = count + 4;
  struct Case {
    std::size_t at;
    std::uint32_t value;
  } cases[] = {
      {list, 0xFFFFFFF8u}, {list, 12},          {text1, 0x7FFFFFFF}, {count, 0xFFFFFFFF},
      {count, 0x20000000}, {table, 0xFFFFFFFF}, {table, 0x7FFFFFF0},
  };
  for (auto c : cases) {
    std::string bad = bytes;
    PutU32(bad, c.at, c.value);
    EXPECT_FALSE(ReadTemplateSegment(bad)) << c.at << " = " << c.value;
  }
  // A record offset past the records, a record length past the table.
  std::size_t table_data = table + 4;
  std::uint32_t units = static_cast<std::uint32_t>(SyntheticWindows({kWin}).windows[0].units.size());
  std::string bad = bytes;
  PutU32(bad, table_data + 4 * units, 0x00FFFFFF);
  EXPECT_FALSE(ReadTemplateSegment(bad));
  bad = bytes;
  std::size_t first_record = table_data + 8 * units;
  PutU32(bad, first_record, 0x7FFFFFFF);
  EXPECT_FALSE(ReadTemplateSegment(bad));
}

// Counts inside a unit record that claim more than the record holds.
TEST(TemplateFormat, UnitRecordCountsAreChecked) {
  Unit u = SyntheticWindow().units[Index(kButton)];
  std::string rec = WriteUnitRecord(u);
  ASSERT_TRUE(ReadUnitRecord(u.id, rec));
  EXPECT_EQ(*ReadUnitRecord(u.id, rec), u);
  std::size_t name_end = 4 + 20 + u.name.size() + 1 + u.remark.size() + 1;
  std::size_t children = name_end + 4 + 16 + 4 + 4;
  for (std::uint32_t v : {0xFFFFFFFFu, 0x40000000u, 1000u}) {
    std::string bad = rec;
    PutU32(bad, children, v);
    EXPECT_FALSE(ReadUnitRecord(u.id, bad)) << v;
  }
  // No NUL for the name: the zero-terminated text runs off the record.
  std::string no_nul = rec.substr(0, 4 + 20) + std::string(10, 'x');
  EXPECT_FALSE(ReadUnitRecord(u.id, no_nul));
}

TEST(TemplateFormat, RandomBytesNeverCrash) {
  std::mt19937 rng(12345);
  std::string valid = WriteTemplateSegment(SyntheticWindows({kWin}));
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    if (round % 2 == 0) {
      bytes.resize(rng() % 200);
      for (char& c : bytes) c = static_cast<char>(rng());
    } else {
      bytes = valid;  // flip a few bytes of a valid block
      for (int k = 0; k < 4; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    }
    auto seg = ReadTemplateSegment(bytes);
    if (!seg) continue;
    for (auto& w : seg->windows)
      for (auto& u : w.units)
        if (!u.menu) (void)ReadProps(u.kind, u.properties);
  }
}

// ---------------------------------------------------------------------------
// Property blocks

// Fields away from their defaults, where the version stores them.
std::vector<std::pair<std::uint32_t, Props>> EveryKindAndVersion() {
  std::vector<std::pair<std::uint32_t, Props>> out;
  for (std::uint32_t v = 1; v <= 6; ++v)
    out.emplace_back(kKindWindow, WindowProps{.version = v, .r3 = v >= 2 ? 9u : 1u, .topmost = v >= 4,
                                              .class_name = v == 6 ? "Cls" : "", .icon = "ICO", .title = "T"});
  for (std::uint32_t v = 1; v <= 2; ++v) {
    const std::string extra = v == 2 ? "e" : "";
    out.emplace_back(kKindEditBox, EditBoxProps{.version = v, .password_char = '#', .font = std::string(60, 'f'),
                                                .content = "x\r\ny", .extra1 = extra});
    out.emplace_back(kKindLabel, LabelProps{.version = v, .caption = "cap", .extra2 = extra});
    out.emplace_back(kKindPicBox, PicBoxProps{.version = v, .picture = "GIF", .extra1 = extra});
    out.emplace_back(kKindCheckBox, CheckProps{.version = v, .checked = 1, .caption = "c", .extra1 = extra});
  }
  for (std::uint32_t v = 1; v <= 3; ++v)
    out.emplace_back(kKindComboBox, ComboBoxProps{.version = v, .selected = 2, .item_data = {1, 2, 3},
                                                  .items = {"one", "", "three"}, .extra2 = v >= 2 ? "x" : "",
                                                  .r3 = v == 3 ? 7u : 0u});
  out.emplace_back(kKindRadioBox, CheckProps{.version = 1, .caption = "r"});
  out.emplace_back(kKindButton, ButtonProps{.type = 1, .caption = "b"});
  out.emplace_back(kKindHyperLinker, HyperLinkerProps{.email = "a@b", .target = "http://t"});
  out.emplace_back(kKindProcessBar, ProcessBarProps{.maximum = 7});
  out.emplace_back(kKindTimer, TimerProps{.interval = 20});
  out.emplace_back(kKindPicBtn, PicBtnProps{.transparent = 0xFF, .pictures = {"A", "", "", "D"}});
  out.emplace_back(kKindTransLabel, TransLabelProps{.r1 = {0, 0, 0, 0, 5}, .caption = "t"});
  return out;
}

TEST(TemplateProps, EveryKindAndVersionRoundTrips) {
  for (auto& [kind, props] : EveryKindAndVersion()) {
    SCOPED_TRACE(::testing::Message() << std::hex << kind << " v" << std::visit([](auto& p) { return p.version; }, props));
    std::string block = WriteProps(kind, props);
    auto back = ReadProps(kind, block);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, props);
    EXPECT_EQ(WriteProps(kind, *back), block);
    for (std::size_t n = 1; n < block.size(); ++n) EXPECT_FALSE(ReadProps(kind, block.substr(0, n))) << "cut " << n;
    EXPECT_FALSE(ReadProps(kind, block + "!"));  // bytes after the last field
  }
  // Fields a version does not store are neither written nor read.
  auto v1 = ReadProps(kKindWindow, WriteProps(kKindWindow, WindowProps{.version = 1, .topmost = 1, .class_name = "X"}));
  ASSERT_TRUE(v1);
  EXPECT_EQ(*v1, Props(WindowProps{.version = 1}));
}

TEST(TemplateProps, VersionAboveTheMaximumIsRefusedAndAnEmptyBlockIsTheDefaults) {
  const std::pair<std::uint32_t, std::uint32_t> kinds[] = {
      {kKindWindow, 6},      {kKindEditBox, 2},     {kKindLabel, 2},  {kKindButton, 1},  {kKindCheckBox, 2},
      {kKindRadioBox, 1},    {kKindComboBox, 3},    {kKindPicBox, 2}, {kKindHyperLinker, 1},
      {kKindProcessBar, 1},  {kKindTimer, 1},       {kKindPicBtn, 1}, {kKindTransLabel, 1}};
  for (auto [kind, max] : kinds) {
    SCOPED_TRACE(::testing::Message() << std::hex << kind);
    EXPECT_EQ(MaxPropsVersion(kind), max);
    Props p = *DefaultProps(kind);
    EXPECT_EQ(ReadProps(kind, ""), p);
    std::visit([&](auto& x) { x.version = max + 1; }, p);
    EXPECT_FALSE(ReadProps(kind, WriteProps(kind, p)));
  }
  EXPECT_FALSE(ReadProps(0x10099, ""));  // a kind this runtime does not have
  EXPECT_EQ(std::get<ProcessBarProps>(*DefaultProps(kKindProcessBar)).maximum, 100);
  auto edit = std::get<EditBoxProps>(*DefaultProps(kKindEditBox));
  EXPECT_EQ(edit.back_colour, kColourWhite);
  EXPECT_EQ(edit.spin_max, 100);
  EXPECT_EQ(edit.password_char, '*');
  EXPECT_EQ(std::get<ComboBoxProps>(*DefaultProps(kKindComboBox)).selected, -1);
  EXPECT_EQ(std::get<WindowProps>(*DefaultProps(kKindWindow)).border, 2);
}

TEST(TemplateProps, LongTextListsUseTheMarker) {
  const std::size_t sizes[] = {0, 1, 65534, 65535, 70000};
  for (std::size_t n : sizes) {
    ComboBoxProps c;
    c.items.assign(n, "");
    if (n) c.items.back() = "last";
    std::string block = WriteProps(kKindComboBox, c);
    auto back = ReadProps(kKindComboBox, block);
    ASSERT_TRUE(back) << n;
    EXPECT_EQ(std::get<ComboBoxProps>(*back).items, c.items) << n;
    ByteReader r(std::string_view(block).substr(4 + 4 * 9 + 4 + 4 + 4));  // version, nine words, font, item data, content
    std::uint16_t marker = 0;
    ASSERT_TRUE(r.U16(marker));
    EXPECT_EQ(marker == 0xFFFF, n >= 65535) << n;
  }
  // A marker count far beyond the block is refused before any allocation.
  ByteWriter w;
  w.U16(0xFFFF);
  w.U32(0xFFFFFFF0u);
  std::vector<std::string> items;
  ByteReader r(w.str());
  EXPECT_FALSE(r.TextList(items));
}

}  // namespace
}  // namespace tl::rt::test
