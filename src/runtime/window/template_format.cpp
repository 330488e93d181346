#include "runtime/window/template_format.h"

#include <numeric>

#include "runtime/window/bytes.h"

namespace tl::rt::tpl {
namespace {

// Reads `count` dwords after checking that they fit, so a hostile count
// cannot drive a huge reservation.
bool ReadDwords(ByteReader& r, std::uint32_t count, std::vector<std::uint32_t>& out) {
  if (count > r.remaining() / 4) return r.Fail();
  out.resize(count);
  for (auto& v : out) r.U32(v);
  return r.ok();
}

std::optional<WindowTemplate> ReadWindow(ByteReader& r, std::uint32_t id) {
  WindowTemplate w;
  w.id = id;
  std::uint32_t count = 0;
  std::string table;
  r.U32(w.head[0]);
  r.U32(w.head[1]);
  r.Block(w.text1);
  r.Block(w.text2);
  r.U32(count);
  r.Block(table);
  if (!r.ok()) return std::nullopt;

  // The table: count ids, count offsets, then the records; each offset counts
  // from the end of the offset array.
  if (count > table.size() / 8) return std::nullopt;
  ByteReader t(table);
  std::vector<std::uint32_t> ids, offsets;
  ReadDwords(t, count, ids);
  ReadDwords(t, count, offsets);
  if (!t.ok()) return std::nullopt;
  std::string_view records = std::string_view(table).substr(8 * static_cast<std::size_t>(count));

  w.units.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    // An identifier with an empty number or an empty type nibble names no
    // unit; lookups by identifier could not tell it from "none".
    if (!IsValidUnitId(ids[i])) return std::nullopt;
    if (offsets[i] > records.size()) return std::nullopt;
    ByteReader rec(records.substr(offsets[i]));
    std::string body;
    if (!rec.Block(body)) return std::nullopt;
    if (IsMenuUnitId(ids[i])) {
      Unit menu;
      menu.id = ids[i];
      menu.menu = true;
      menu.menu_record = std::move(body);
      w.units.push_back(std::move(menu));
      continue;
    }
    auto unit = ReadUnitRecord(ids[i], body);
    if (!unit) return std::nullopt;
    w.units.push_back(std::move(*unit));
  }
  // A window needs its own unit.
  if (w.units.empty() || w.units[0].menu) return std::nullopt;
  return w;
}

}  // namespace

std::optional<Unit> ReadUnitRecord(std::uint32_t id, std::string_view record) {
  ByteReader r(record);
  Unit u;
  u.id = id;
  std::uint32_t n = 0;
  r.U32(u.kind);
  r.Raw(20, u.reserved_head);
  r.ZText(u.name);
  r.ZText(u.remark);
  r.U32(u.object_slot);
  r.I32(u.left);
  r.I32(u.top);
  r.I32(u.width);
  r.I32(u.height);
  r.U32(u.cursor_slot);
  r.U32(u.parent);
  if (r.U32(n)) ReadDwords(r, n, u.children);
  r.Block(u.cursor);
  r.ZText(u.tag);
  r.U32(u.reserved_mid);
  r.U32(u.flags);
  r.I32(u.tab_position);
  if (r.U32(n)) {
    if (n > r.remaining() / 8) return std::nullopt;
    u.events.resize(n);
    for (auto& e : u.events) {
      r.I32(e.event);
      r.I32(e.handler);
    }
  }
  r.Raw(20, u.reserved_tail);
  u.properties = std::string(r.Rest());
  if (!r.ok()) return std::nullopt;
  return u;
}

std::string WriteUnitRecord(const Unit& u) {
  if (u.menu) return u.menu_record;
  ByteWriter w;
  w.U32(u.kind);
  w.Raw(std::string(u.reserved_head).append(20, '\0').substr(0, 20));
  w.ZText(u.name);
  w.ZText(u.remark);
  w.U32(u.object_slot);
  w.I32(u.left);
  w.I32(u.top);
  w.I32(u.width);
  w.I32(u.height);
  w.U32(u.cursor_slot);
  w.U32(u.parent);
  w.U32(static_cast<std::uint32_t>(u.children.size()));
  for (auto c : u.children) w.U32(c);
  w.Block(u.cursor);
  w.ZText(u.tag);
  w.U32(u.reserved_mid);
  w.U32(u.flags);
  w.I32(u.tab_position);
  w.U32(static_cast<std::uint32_t>(u.events.size()));
  for (const auto& e : u.events) {
    w.I32(e.event);
    w.I32(e.handler);
  }
  w.Raw(std::string(u.reserved_tail).append(20, '\0').substr(0, 20));
  w.Raw(u.properties);
  return w.take();
}

std::optional<TemplateSegment> ReadTemplateSegment(std::string_view bytes) {
  ByteReader r(bytes);
  std::string list;
  if (!r.Block(list) || list.size() % 8 != 0) return std::nullopt;
  std::size_t count = list.size() / 8;
  ByteReader ids(list);
  TemplateSegment seg;
  seg.windows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t id = 0;
    ids.U32(id);  // the second half of the list holds runtime slots: ignored
    auto w = ReadWindow(r, id);
    if (!w) return std::nullopt;
    seg.windows.push_back(std::move(*w));
  }
  return seg;
}

std::string WriteTemplateSegment(const TemplateSegment& seg) {
  ByteWriter out;
  ByteWriter list;
  for (const auto& w : seg.windows) list.U32(w.id);
  for (std::size_t i = 0; i < seg.windows.size(); ++i) list.U32(0);
  out.Block(list.str());
  for (const auto& w : seg.windows) {
    out.U32(w.head[0]);
    out.U32(w.head[1]);
    out.Block(w.text1);
    out.Block(w.text2);
    out.U32(static_cast<std::uint32_t>(w.units.size()));

    std::vector<std::size_t> order = w.record_order;
    if (order.size() != w.units.size()) {
      order.resize(w.units.size());
      std::iota(order.begin(), order.end(), std::size_t{0});
    }
    std::vector<std::uint32_t> offsets(w.units.size());
    ByteWriter records;
    for (std::size_t i : order) {
      offsets[i] = static_cast<std::uint32_t>(records.str().size());
      records.Block(WriteUnitRecord(w.units[i]));
    }
    ByteWriter table;
    for (const auto& u : w.units) table.U32(u.id);
    for (auto o : offsets) table.U32(o);
    table.Raw(records.str());
    out.Block(table.str());
  }
  return out.take();
}

}  // namespace tl::rt::tpl
