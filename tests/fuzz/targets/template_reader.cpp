// The window-template reader on any bytes: a segment it accepts must write
// back to bytes that read as the same segment, every unit's property block
// it accepts must round-trip too, and loading the segment into the runtime
// (handlers resolved) must not fail on what the reader accepted.
#include <string>

#include "fuzz/fuzz_target.h"
#include "runtime/window/template_format.h"
#include "runtime/window/template_props.h"
#include "runtime/window/window_runtime.h"

TIDYLINE_FUZZ_TARGET(template_reader) {
  using namespace tl::rt;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto seg = tpl::ReadTemplateSegment(bytes);
  if (seg) {
    auto again = tpl::ReadTemplateSegment(tpl::WriteTemplateSegment(*seg));
    if (!again || !(*again == *seg)) tl::fuzz::Fail("template_reader", "a segment does not survive write and read");
    for (const auto& w : seg->windows) {
      for (const auto& u : w.units) {
        if (u.menu) continue;
        auto props = tpl::ReadProps(u.kind, u.properties);
        if (!props) continue;
        auto back = tpl::ReadProps(u.kind, tpl::WriteProps(u.kind, *props));
        if (!back || !(*back == *props)) tl::fuzz::Fail("template_reader", "a property block does not round-trip");
      }
    }
    HandlerResolver resolve = [](std::int32_t) -> EventHandler {
      return [](std::span<const std::int32_t>) { return HandlerResult{}; };
    };
    if (!LoadTemplates(bytes, resolve)) tl::fuzz::Fail("template_reader", "an accepted segment did not load");
    ClearTemplates();
  }
  // One unit record on its own, under a plain and a menu unit id.
  for (std::uint32_t id : {0x52010001u, 0x26010001u}) {
    auto unit = tpl::ReadUnitRecord(id, bytes);
    if (!unit) continue;
    auto back = tpl::ReadUnitRecord(id, tpl::WriteUnitRecord(*unit));
    if (!back || !(*back == *unit)) tl::fuzz::Fail("template_reader", "a unit record does not round-trip");
  }
  return 0;
}
