// The window-template segment: a list of windows, each with its unit table
// (the window's own unit and its controls). Reading checks every length
// against the block it lies in; writing is the exact inverse, so the main
// window's bytes can be generated and tests can build hostile variants.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tl::rt::tpl {

// Kind codes: (library << 16) + kind.
enum KindCode : std::uint32_t {
  kKindWindow = 0x10001,
  kKindEditBox = 0x10005,
  kKindPicBox = 0x10006,
  kKindLabel = 0x1000A,
  kKindButton = 0x1000B,
  kKindCheckBox = 0x1000C,
  kKindRadioBox = 0x1000D,
  kKindComboBox = 0x1000E,
  kKindProcessBar = 0x10013,
  kKindHyperLinker = 0x1001D,
  kKindTimer = 0x10020,
  kKindPicBtn = 0x1002D,
  kKindTransLabel = 0x30005,
};

// Unit flag bits.
inline constexpr std::uint32_t kFlagVisible = 1;
inline constexpr std::uint32_t kFlagDisabled = 2;
inline constexpr std::uint32_t kFlagTabStop = 4;

inline constexpr std::int32_t kNoHandler = -1;

constexpr bool IsValidUnitId(std::uint32_t id) { return (id & 0xFFFFFF) != 0 && ((id >> 24) & 0xF) != 0; }
constexpr bool IsMenuUnitId(std::uint32_t id) { return ((id >> 24) & 0xF) == 6 && (id >> 28) == 2; }

struct EventBinding {
  std::int32_t event = 0;
  std::int32_t handler = kNoHandler;  // stored value; resolved by LoadTemplates
  friend bool operator==(const EventBinding&, const EventBinding&) = default;
};

struct Unit {
  std::uint32_t id = 0;
  // Menu units keep their record bytes untouched and are skipped elsewhere.
  bool menu = false;
  std::string menu_record;

  std::uint32_t kind = 0;
  std::string reserved_head = std::string(20, '\0');
  std::string name;    // GBK
  std::string remark;
  std::uint32_t object_slot = 0;
  std::int32_t left = 0, top = 0, width = 0, height = 0;
  std::uint32_t cursor_slot = 0;
  std::uint32_t parent = 0;  // container unit id, 0 = the window
  std::vector<std::uint32_t> children;
  std::string cursor;  // byte block
  std::string tag;
  std::uint32_t reserved_mid = 0;
  std::uint32_t flags = 0;
  std::int32_t tab_position = 0;
  std::vector<EventBinding> events;
  std::string reserved_tail = std::string(20, '\0');
  std::string properties;  // the kind's property block, parsed at build time

  friend bool operator==(const Unit&, const Unit&) = default;
};

struct WindowTemplate {
  std::uint32_t id = 0;
  std::uint32_t head[2] = {0x10D2E3D6, 0x19010019};
  std::string text1, text2;
  std::vector<Unit> units;  // unit 0 is the window's own unit
  // Writer only: the order in which records are laid out in the table (a
  // permutation of unit indexes); empty = unit order. The reader leaves it
  // empty because records are found through their offsets.
  std::vector<std::size_t> record_order;

  friend bool operator==(const WindowTemplate& a, const WindowTemplate& b) {
    return a.id == b.id && a.head[0] == b.head[0] && a.head[1] == b.head[1] && a.text1 == b.text1 &&
           a.text2 == b.text2 && a.units == b.units;
  }
};

struct TemplateSegment {
  std::vector<WindowTemplate> windows;
  friend bool operator==(const TemplateSegment&, const TemplateSegment&) = default;
};

// nullopt for any block that is truncated or inconsistent.
std::optional<TemplateSegment> ReadTemplateSegment(std::string_view bytes);
std::string WriteTemplateSegment(const TemplateSegment& segment);

// One unit record's body (without its length word), both ways.
std::optional<Unit> ReadUnitRecord(std::uint32_t id, std::string_view record);
std::string WriteUnitRecord(const Unit& unit);

}  // namespace tl::rt::tpl
