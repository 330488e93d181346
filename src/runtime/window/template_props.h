// The property blocks of the control kinds, one struct per kind. Each block
// starts with a version; fields that a version does not store keep their
// defaults, and an empty block means "all defaults". Reserved words are kept
// so that writing a read block gives the same bytes back.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tl::rt::tpl {

inline constexpr std::uint32_t kColourDefault = 0xFF000000u;
inline constexpr std::uint32_t kColourBlack = 0x000000;
inline constexpr std::uint32_t kColourWhite = 0xFFFFFF;
inline constexpr std::uint32_t kColourGrey = 0x808080;
inline constexpr std::uint32_t kColourBlue = 0xFF0000;     // COLORREF order
inline constexpr std::uint32_t kColourDarkRed = 0x000080;
inline constexpr std::uint32_t kColourHighlight = 0x8000000D;  // system highlight colour

struct WindowProps {
  std::uint32_t version = 6;
  std::int32_t border = 2, picture_mode = 1;
  std::uint32_t back_colour = kColourDefault;
  std::int32_t max_button = 0, min_button = 0, control_box = 1, position = 1, movable = 1, music_count = 0;
  std::uint32_t r1[2] = {0, 1}, r2[2] = {0, 0};
  std::uint32_t r3 = 1;              // version >= 2
  std::uint32_t r4[2] = {0, 0};      // version >= 3
  std::int32_t topmost = 0;          // version >= 4
  std::uint32_t r5 = 0;              // version >= 5
  std::string class_name;            // version 6
  std::string picture, icon, music, title, extra;
  friend bool operator==(const WindowProps&, const WindowProps&) = default;
};

struct EditBoxProps {
  std::uint32_t version = 2;
  std::int32_t border = 1;
  std::uint32_t text_colour = kColourBlack, back_colour = kColourWhite;
  std::int32_t hide_selection = 1, max_length = 0, multi_line = 0, scroll_bars = 0, align = 0,
               input_mode = 0;
  std::uint16_t password_char = '*';
  std::int32_t letter_case = 0, spin = 0, spin_min = 0, spin_max = 100, sel_start = 0, sel_length = 0;
  std::string font, content;
  std::string extra1, extra2;  // version 2
  friend bool operator==(const EditBoxProps&, const EditBoxProps&) = default;
};

struct LabelProps {
  std::uint32_t version = 2;
  std::uint32_t r1 = 0, r2 = 8;
  std::int32_t border = 0;
  std::uint32_t edge_colours[3] = {kColourGrey, kColourWhite, kColourGrey};
  std::uint32_t text_colour = kColourBlack, back_colour = kColourDefault;
  std::uint32_t r3[2] = {1, 0};
  std::uint32_t edge_colours2[3] = {kColourGrey, kColourWhite, kColourGrey};
  std::uint32_t r4[3] = {0, 1, 0};
  std::string font, picture, caption;
  std::string extra1, extra2;  // version 2
  friend bool operator==(const LabelProps&, const LabelProps&) = default;
};

struct ButtonProps {
  std::uint32_t version = 1;
  std::int32_t type = 0, h_align = 1, v_align = 1;
  std::string picture, font, caption;
  friend bool operator==(const ButtonProps&, const ButtonProps&) = default;
};

// CheckBox (version 2 adds two texts) and RadioBox (version 1).
struct CheckProps {
  std::uint32_t version = 2;
  std::int32_t push_like = 0, flat = 0, text_left = 0, h_align = 0, v_align = 1;
  std::uint32_t r1 = 0;
  std::uint32_t back_colour = kColourDefault;
  std::int32_t checked = 0;
  std::string picture, font, caption;
  std::string extra1, extra2;  // CheckBox version 2
  friend bool operator==(const CheckProps&, const CheckProps&) = default;
};

struct ComboBoxProps {
  std::uint32_t version = 3;
  std::int32_t type = 1, max_length = 0;
  std::uint32_t r1[2] = {0, 0};
  std::int32_t sorted = 0, item_height_extra = 1;
  std::uint32_t r2 = 0;
  std::uint32_t back_colour = kColourWhite;
  std::int32_t selected = -1;
  std::string font;
  std::vector<std::uint32_t> item_data;  // stored as a byte block of dwords
  std::string content;
  std::vector<std::string> items;
  std::string extra1, extra2;  // version >= 2
  std::uint32_t r3 = 0;        // version 3
  friend bool operator==(const ComboBoxProps&, const ComboBoxProps&) = default;
};

struct PicBoxProps {
  std::uint32_t version = 2;
  std::int32_t border = 0;
  std::uint32_t back_colour = kColourDefault;
  std::int32_t mode = 0;
  std::uint32_t r1 = 1;
  std::string picture;
  std::string extra1, extra2;  // version 2
  friend bool operator==(const PicBoxProps&, const PicBoxProps&) = default;
};

struct HyperLinkerProps {
  std::uint32_t version = 1;
  std::int32_t link_type = 0;  // 0 e-mail, 1 web
  std::uint32_t colours[3] = {kColourBlue, kColourDarkRed, kColourHighlight};  // normal, visited, hover
  std::uint32_t back_colour = kColourDefault;
  std::uint32_t r1 = 0;
  std::string font, caption, email, target;
  friend bool operator==(const HyperLinkerProps&, const HyperLinkerProps&) = default;
};

struct ProcessBarProps {
  std::uint32_t version = 1;
  std::uint32_t r1[3] = {3, 0, 0};
  std::int32_t minimum = 0, maximum = 100, position = 0;
  friend bool operator==(const ProcessBarProps&, const ProcessBarProps&) = default;
};

struct TimerProps {
  std::uint32_t version = 1;
  std::int32_t interval = 0;
  friend bool operator==(const TimerProps&, const TimerProps&) = default;
};

struct PicBtnProps {
  std::uint32_t version = 1;
  std::int32_t type = 0, checked = 0;
  std::uint32_t transparent = kColourDefault;
  std::string pictures[4];
  friend bool operator==(const PicBtnProps&, const PicBtnProps&) = default;
};

struct TransLabelProps {
  std::uint32_t version = 1;
  std::uint32_t r1[5] = {0, 0, 0, 0, 0};
  std::string font, caption;
  friend bool operator==(const TransLabelProps&, const TransLabelProps&) = default;
};

using Props = std::variant<WindowProps, EditBoxProps, LabelProps, ButtonProps, CheckProps, ComboBoxProps,
                           PicBoxProps, HyperLinkerProps, ProcessBarProps, TimerProps, PicBtnProps,
                           TransLabelProps>;

// The highest version a reader accepts; 0 for a kind it does not know.
std::uint32_t MaxPropsVersion(std::uint32_t kind);
// The defaults of a kind (what an empty block means); nullopt for an unknown kind.
std::optional<Props> DefaultProps(std::uint32_t kind);
// nullopt: unknown kind, version above the maximum, truncated block or bytes
// left over after the last field.
std::optional<Props> ReadProps(std::uint32_t kind, std::string_view block);
// Writes the block in the struct's version (RadioBox is a CheckProps written
// as kind RadioBox).
std::string WriteProps(std::uint32_t kind, const Props& props);

}  // namespace tl::rt::tpl
