// The content of the main window's template, one row per unit. Only what
// differs from a kind's defaults is spelled out.
#include <cstring>

#include "app/main_window.h"
#include "gbk_texts.h"
#include "runtime/window/template_props.h"

// Property blocks are written with designated initializers: the fields left
// out keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tl::app::ui {
namespace {

using namespace rt::tpl;

constexpr std::uint32_t kRed = 0x0000FF;  // COLORREF order
constexpr std::uint32_t kVisible = kFlagVisible;
constexpr std::uint32_t kVisibleTab = kFlagVisible | kFlagTabStop;

// A Windows LOGFONTA: height, width, escapement, orientation, weight, then
// italic, underline, strike-out, charset, output/clip precision, quality,
// pitch-and-family, then a 32-byte face name.
std::string SimSun(std::int32_t height) {
  std::string f(60, '\0');
  auto put = [&f](std::size_t at, std::int32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  };
  put(0, height);
  put(16, 400);
  const unsigned char tail[8] = {0, 0, 0, 134, 3, 2, 1, 2};
  std::memcpy(f.data() + 20, tail, sizeof tail);
  std::memcpy(f.data() + 28, gbk::UiFontSimSun.data(), gbk::UiFontSimSun.size());
  return f;
}

struct Row {
  std::uint32_t id;
  std::uint32_t kind;
  std::string_view name;
  std::int32_t left, top, width, height;
  std::uint32_t flags;
  Props props;
  std::vector<EventBinding> events = {};
  std::uint32_t parent = 0;
};

Unit MakeUnit(const Row& r) {
  Unit u;
  u.id = r.id;
  u.kind = r.kind;
  u.name = std::string(r.name);
  u.left = r.left, u.top = r.top, u.width = r.width, u.height = r.height;
  u.flags = r.flags;
  u.parent = r.parent;
  u.events = r.events;
  u.properties = WriteProps(r.kind, r.props);
  return u;
}

}  // namespace

TemplateSegment MainWindowTemplate(const BannerImages& images) {
  const std::string font = SimSun(-15);
  const std::string site(gbk::UiMakerSite);
  const Row rows[] = {
      {kMainWindowUnit, kKindWindow, "", 50, 50, 662, 521, kVisible,
       WindowProps{.border = 2, .max_button = 0, .min_button = 1, .control_box = 1, .position = 1, .movable = 1,
                   .title = std::string(gbk::UiTitle)},
       {{0, kOnMainWindowCreated}, {1, kOnMainWindowCloseQuery}}},
      {kStatusLabel, kKindTransLabel, gbk::UiNameStatus, 24, 459, 600, 24, kVisible, TransLabelProps{.font = font}},
      {kProgressBar, kKindProcessBar, gbk::UiNameProgress, 8, 459, 632, 24, kVisible, ProcessBarProps{}},
      {kBanner, kKindPicBox, gbk::UiNameBanner, 0, 0, 1000, 90, kVisible,
       PicBoxProps{.border = 0, .back_colour = kColourWhite}},
      {kSlideTimer, kKindTimer, gbk::UiNameTimer, 432, 32, 26, 26, kVisible, TimerProps{.interval = 20},
       {{0, kOnSlideTimer}}, kBanner},
      {kBannerRule, kKindLabel, gbk::UiNameRule, -1, 88, 1200, 2, kVisible, LabelProps{.border = 3}, {}, kBanner},
      {kLogo, kKindPicBtn, gbk::UiNameLogo, 40, 12, 195, 64, kVisible,
       PicBtnProps{.transparent = kRed, .pictures = {images[0], images[1], "", ""}}, {{0, kOnLogoClick}}, kBanner},
      {kHomeLink, kKindHyperLinker, gbk::UiNameHomeLink, 573, 64, 64, 24, kVisible,
       HyperLinkerProps{.link_type = 1,
                        .colours = {kColourBlue, kColourBlue, kRed},
                        .back_colour = kColourWhite,
                        .font = SimSun(-12),
                        .caption = std::string(gbk::UiHomeLinkCaption),
                        .target = site + std::string(gbk::UiInfoPath)},
       {}, kBanner},
      {kHomeIcon, kKindPicBtn, gbk::UiNameHomeIcon, 573, 0, 64, 64, kVisible,
       PicBtnProps{.transparent = kColourBlack, .pictures = {images[2], images[3], "", ""}},
       {{0, kOnHomepageImageClick}}, kBanner},
      {kShuffleCheck, kKindCheckBox, gbk::UiNameShuffle, 592, 384, 56, 24, kVisibleTab,
       CheckProps{.checked = 0, .font = font, .caption = std::string(gbk::UiShuffleCaption)}},
      {kDedupeCheck, kKindCheckBox, gbk::UiNameDedupe, 528, 384, 56, 24, kVisibleTab,
       CheckProps{.checked = 1, .font = font, .caption = std::string(gbk::UiDedupeCaption)}},
      {kResultLabel, kKindLabel, gbk::UiNameLabel5, 328, 100, 112, 24, kVisible,
       LabelProps{.font = font, .caption = std::string(gbk::UiResultLabel)}},
      {kSourceLabel, kKindLabel, gbk::UiNameLabel4, 8, 100, 96, 24, kVisible,
       LabelProps{.font = font, .caption = std::string(gbk::UiSourceLabel)}},
      {kEncodingLabel, kKindLabel, gbk::UiNameLabel1, 472, 427, 80, 23, kVisible,
       LabelProps{.font = font, .caption = std::string(gbk::UiEncodingLabel)}},
      {kEncodingCombo, kKindComboBox, gbk::UiNameEncoding, 552, 427, 88, 23, kVisibleTab,
       ComboBoxProps{.type = 2,
                     .item_height_extra = 1,
                     .back_colour = kColourWhite,
                     .selected = 0,
                     .font = font,
                     .items = {std::string(gbk::UiEncodingAuto), std::string(gbk::UiEncodingAnsi),
                               std::string(gbk::UiEncodingUtf8), std::string(gbk::UiEncodingUnicode),
                               std::string(gbk::UiEncodingUnicodeBe), std::string(gbk::UiEncodingBig5)}}},
      {kFilterEdit, kKindEditBox, gbk::UiNameFilter, 376, 427, 64, 24, kVisibleTab,
       EditBoxProps{.align = 1, .font = font, .content = std::string(gbk::UiFilterDefault)}},
      {kFolderButton, kKindButton, gbk::UiNameFolderButton, 184, 423, 272, 32, kVisibleTab,
       ButtonProps{.h_align = 0, .v_align = 1, .font = font, .caption = std::string(gbk::UiFolderButtonCaption)},
       {{0, kOnChooseFolderClick}, {-4, kOnChooseFolderRightDown}}},
      {kFilesButton, kKindButton, gbk::UiNameFilesButton, 8, 423, 168, 32, kVisibleTab,
       ButtonProps{.font = font, .caption = std::string(gbk::UiFilesButtonCaption)}, {{0, kOnChooseFilesClick}}},
      {kCopyButton, kKindButton, gbk::UiNameCopyButton, 450, 100, 192, 24, kVisibleTab,
       ButtonProps{.font = font, .caption = std::string(gbk::UiCopyCaption)}, {{0, kOnCopyClick}}},
      {kProcessButton, kKindButton, gbk::UiNameProcessButton, 384, 380, 120, 32, kVisibleTab,
       ButtonProps{.type = 1, .font = font, .caption = std::string(gbk::UiProcessCaption)}, {{0, kOnProcessClick}}},
      {kPasteButton, kKindButton, gbk::UiNamePasteButton, 128, 100, 192, 24, kVisibleTab,
       ButtonProps{.font = font, .caption = std::string(gbk::UiPasteCaption)}, {{0, kOnPasteClick}}},
      {kResultEdit, kKindEditBox, gbk::UiNameResult, 328, 128, 312, 248, kVisibleTab,
       EditBoxProps{.multi_line = 1, .scroll_bars = 3, .font = font}},
      {kSourceEdit, kKindEditBox, gbk::UiNameSource, 8, 128, 312, 248, kVisibleTab,
       EditBoxProps{.multi_line = 1, .scroll_bars = 3, .font = font, .content = std::string(gbk::UiSampleText)}},
      {kTypedRadio, kKindRadioBox, gbk::UiNameTyped, 192, 384, 88, 24, kVisibleTab,
       CheckProps{.version = 1, .checked = 0, .font = font, .caption = std::string(gbk::UiTypedCaption)}},
      {kLineBreakRadio, kKindRadioBox, gbk::UiNameLineBreak, 112, 384, 72, 24, kVisibleTab,
       CheckProps{.version = 1, .checked = 1, .font = font, .caption = std::string(gbk::UiLineBreakCaption)}},
      {kSeparatorEdit, kKindEditBox, gbk::UiNameSeparator, 280, 384, 88, 24, kVisibleTab,
       EditBoxProps{.multi_line = 1, .scroll_bars = 0, .font = font}},
      {kSeparatorLabel, kKindLabel, gbk::UiNameLabel2, 8, 384, 96, 24, kVisible,
       LabelProps{.font = font, .caption = std::string(gbk::UiSeparatorLabel)}},
  };

  WindowTemplate w;
  w.id = kMainWindow;
  for (const Row& r : rows) w.units.push_back(MakeUnit(r));
  for (Unit& u : w.units)
    if (u.parent == kBanner) w.units[3].children.push_back(u.id);
  TemplateSegment segment;
  segment.windows.push_back(std::move(w));
  return segment;
}

}  // namespace tl::app::ui
