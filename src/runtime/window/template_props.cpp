#include "runtime/window/template_props.h"

#include "runtime/window/bytes.h"
#include "runtime/window/template_format.h"

namespace tl::rt::tpl {
namespace {

// One description of each block serves both directions, so the writer is the
// reader's exact inverse by construction.
struct In {
  ByteReader r;
  static constexpr bool kReading = true;
  void u32(std::uint32_t& v) { r.U32(v); }
  void i32(std::int32_t& v) { r.I32(v); }
  void u16(std::uint16_t& v) { r.U16(v); }
  void text(std::string& s) { r.Block(s); }
  void list(std::vector<std::string>& l) { r.TextList(l); }
  void dwords(std::vector<std::uint32_t>& d) {
    std::string b;
    if (!r.Block(b)) return;
    if (b.size() % 4 != 0) {
      r.Fail();
      return;
    }
    ByteReader inner(b);
    d.resize(b.size() / 4);
    for (auto& v : d) inner.U32(v);
  }
};

struct Out {
  ByteWriter w;
  static constexpr bool kReading = false;
  void u32(std::uint32_t& v) { w.U32(v); }
  void i32(std::int32_t& v) { w.I32(v); }
  void u16(std::uint16_t& v) { w.U16(v); }
  void text(std::string& s) { w.Block(s); }
  void list(std::vector<std::string>& l) { w.TextList(l); }
  void dwords(std::vector<std::uint32_t>& d) {
    ByteWriter inner;
    for (auto v : d) inner.U32(v);
    w.Block(inner.str());
  }
};

template <class IO>
void Fields(IO& io, WindowProps& p, std::uint32_t) {
  io.i32(p.border);
  io.i32(p.picture_mode);
  io.u32(p.back_colour);
  io.i32(p.max_button);
  io.i32(p.min_button);
  io.i32(p.control_box);
  io.i32(p.position);
  io.i32(p.movable);
  io.i32(p.music_count);
  io.u32(p.r1[0]);
  io.u32(p.r1[1]);
  io.u32(p.r2[0]);
  io.u32(p.r2[1]);
  if (p.version >= 2) io.u32(p.r3);
  if (p.version >= 3) {
    io.u32(p.r4[0]);
    io.u32(p.r4[1]);
  }
  if (p.version >= 4) io.i32(p.topmost);
  if (p.version >= 5) io.u32(p.r5);
  if (p.version >= 6) io.text(p.class_name);
  io.text(p.picture);
  io.text(p.icon);
  io.text(p.music);
  io.text(p.title);
  io.text(p.extra);
}

template <class IO>
void Fields(IO& io, EditBoxProps& p, std::uint32_t) {
  io.i32(p.border);
  io.u32(p.text_colour);
  io.u32(p.back_colour);
  io.i32(p.hide_selection);
  io.i32(p.max_length);
  io.i32(p.multi_line);
  io.i32(p.scroll_bars);
  io.i32(p.align);
  io.i32(p.input_mode);
  io.u16(p.password_char);
  io.i32(p.letter_case);
  io.i32(p.spin);
  io.i32(p.spin_min);
  io.i32(p.spin_max);
  io.i32(p.sel_start);
  io.i32(p.sel_length);
  io.text(p.font);
  io.text(p.content);
  if (p.version >= 2) {
    io.text(p.extra1);
    io.text(p.extra2);
  }
}

template <class IO>
void Fields(IO& io, LabelProps& p, std::uint32_t) {
  io.u32(p.r1);
  io.u32(p.r2);
  io.i32(p.border);
  for (auto& c : p.edge_colours) io.u32(c);
  io.u32(p.text_colour);
  io.u32(p.back_colour);
  for (auto& c : p.r3) io.u32(c);
  for (auto& c : p.edge_colours2) io.u32(c);
  for (auto& c : p.r4) io.u32(c);
  io.text(p.font);
  io.text(p.picture);
  io.text(p.caption);
  if (p.version >= 2) {
    io.text(p.extra1);
    io.text(p.extra2);
  }
}

template <class IO>
void Fields(IO& io, ButtonProps& p, std::uint32_t) {
  io.i32(p.type);
  io.i32(p.h_align);
  io.i32(p.v_align);
  io.text(p.picture);
  io.text(p.font);
  io.text(p.caption);
}

template <class IO>
void Fields(IO& io, CheckProps& p, std::uint32_t kind) {
  io.i32(p.push_like);
  io.i32(p.flat);
  io.i32(p.text_left);
  io.i32(p.h_align);
  io.i32(p.v_align);
  io.u32(p.r1);
  io.u32(p.back_colour);
  io.i32(p.checked);
  io.text(p.picture);
  io.text(p.font);
  io.text(p.caption);
  if (kind == kKindCheckBox && p.version >= 2) {
    io.text(p.extra1);
    io.text(p.extra2);
  }
}

template <class IO>
void Fields(IO& io, ComboBoxProps& p, std::uint32_t) {
  io.i32(p.type);
  io.i32(p.max_length);
  io.u32(p.r1[0]);
  io.u32(p.r1[1]);
  io.i32(p.sorted);
  io.i32(p.item_height_extra);
  io.u32(p.r2);
  io.u32(p.back_colour);
  io.i32(p.selected);
  io.text(p.font);
  io.dwords(p.item_data);
  io.text(p.content);
  io.list(p.items);
  if (p.version >= 2) {
    io.text(p.extra1);
    io.text(p.extra2);
  }
  if (p.version >= 3) io.u32(p.r3);
}

template <class IO>
void Fields(IO& io, PicBoxProps& p, std::uint32_t) {
  io.i32(p.border);
  io.u32(p.back_colour);
  io.i32(p.mode);
  io.u32(p.r1);
  io.text(p.picture);
  if (p.version >= 2) {
    io.text(p.extra1);
    io.text(p.extra2);
  }
}

template <class IO>
void Fields(IO& io, HyperLinkerProps& p, std::uint32_t) {
  io.i32(p.link_type);
  for (auto& c : p.colours) io.u32(c);
  io.u32(p.back_colour);
  io.u32(p.r1);
  io.text(p.font);
  io.text(p.caption);
  io.text(p.email);
  io.text(p.target);
}

template <class IO>
void Fields(IO& io, ProcessBarProps& p, std::uint32_t) {
  for (auto& c : p.r1) io.u32(c);
  io.i32(p.minimum);
  io.i32(p.maximum);
  io.i32(p.position);
}

template <class IO>
void Fields(IO& io, TimerProps& p, std::uint32_t) {
  io.i32(p.interval);
}

template <class IO>
void Fields(IO& io, PicBtnProps& p, std::uint32_t) {
  io.i32(p.type);
  io.i32(p.checked);
  io.u32(p.transparent);
  for (auto& pic : p.pictures) io.text(pic);
}

template <class IO>
void Fields(IO& io, TransLabelProps& p, std::uint32_t) {
  for (auto& c : p.r1) io.u32(c);
  io.text(p.font);
  io.text(p.caption);
}

}  // namespace

std::uint32_t MaxPropsVersion(std::uint32_t kind) {
  switch (kind) {
    case kKindWindow: return 6;
    case kKindEditBox: return 2;
    case kKindLabel: return 2;
    case kKindButton: return 1;
    case kKindCheckBox: return 2;
    case kKindRadioBox: return 1;
    case kKindComboBox: return 3;
    case kKindPicBox: return 2;
    case kKindHyperLinker: return 1;
    case kKindProcessBar: return 1;
    case kKindTimer: return 1;
    case kKindPicBtn: return 1;
    case kKindTransLabel: return 1;
    default: return 0;
  }
}

std::optional<Props> DefaultProps(std::uint32_t kind) {
  switch (kind) {
    case kKindWindow: return WindowProps{};
    case kKindEditBox: return EditBoxProps{};
    case kKindLabel: return LabelProps{};
    case kKindButton: return ButtonProps{};
    case kKindCheckBox: return CheckProps{};
    case kKindRadioBox: {
      CheckProps p;
      p.version = 1;
      return p;
    }
    case kKindComboBox: return ComboBoxProps{};
    case kKindPicBox: return PicBoxProps{};
    case kKindHyperLinker: return HyperLinkerProps{};
    case kKindProcessBar: return ProcessBarProps{};
    case kKindTimer: return TimerProps{};
    case kKindPicBtn: return PicBtnProps{};
    case kKindTransLabel: return TransLabelProps{};
    default: return std::nullopt;
  }
}

std::optional<Props> ReadProps(std::uint32_t kind, std::string_view block) {
  auto props = DefaultProps(kind);
  if (!props || block.empty()) return props;
  In in{ByteReader(block)};
  bool ok = std::visit(
      [&](auto& p) {
        if (!in.r.U32(p.version) || p.version > MaxPropsVersion(kind)) return false;
        Fields(in, p, kind);
        return in.r.ok() && in.r.at_end();
      },
      *props);
  if (!ok) return std::nullopt;
  return props;
}

std::string WriteProps(std::uint32_t kind, const Props& props) {
  Props copy = props;
  Out out;
  std::visit(
      [&](auto& p) {
        out.u32(p.version);
        Fields(out, p, kind);
      },
      copy);
  return out.w.take();
}

}  // namespace tl::rt::tpl
