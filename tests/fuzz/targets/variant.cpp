// Variant conversions: any value of any plain type (and arrays of them)
// converted to every type, copied and cleared. A successful conversion gives
// the asked type; a failed one leaves the destination untouched. Input: a
// list of (type byte, 8 value bytes, text piece) items.
#include <cstring>
#include <string>

#include "fuzz/fuzz_target.h"
#include "runtime/automation/variant.h"

namespace {

using namespace tl::rt::automation;

const VarType kTypes[] = {kVtEmpty, kVtNull, kVtI2,  kVtI4,  kVtR4,  kVtR8,  kVtCy,  kVtDate, kVtBstr, kVtError,
                          kVtBool,  kVtI1,   kVtUi1, kVtUi2, kVtUi4, kVtI8,  kVtUi8, kVtInt,  kVtUint, kVtVariant,
                          kVtDispatch, kVtUnknown};

Variant Build(tl::fuzz::Input& in, int depth) {
  std::uint8_t pick = in.Byte();
  std::uint64_t raw = (static_cast<std::uint64_t>(in.U32()) << 32) | in.U32();
  std::string_view piece = in.Piece(40);
  Variant v;
  VarType t = kTypes[pick % (sizeof kTypes / sizeof kTypes[0])];
  if (pick >= 0xF0 && depth == 0) {
    // A small array of plain values.
    VarType et = (pick & 1) ? kVtBstr : (pick & 2) ? kVtVariant : kVtI4;
    std::uint32_t n = pick % 4;
    SafeArray* a = CreateSafeArray(et, n, static_cast<std::int32_t>(raw & 0xFF) - 128);
    if (!a) return v;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (et == kVtBstr) {
        static_cast<Bstr*>(a->data)[i] = AllocBstr(u"x");
      } else if (et == kVtVariant) {
        static_cast<Variant*>(a->data)[i] = Build(in, depth + 1);
      } else {
        static_cast<std::int32_t*>(a->data)[i] = static_cast<std::int32_t>(raw >> (i * 8));
      }
    }
    v.vt = static_cast<VarType>(kVtArray | et);
    v.parray = a;
    return v;
  }
  switch (t) {
    case kVtBstr: {
      std::u16string units(piece.size() / 2, u'\0');
      std::memcpy(units.data(), piece.data(), units.size() * 2);
      // Mostly text a person would convert: digits, signs, points, spaces.
      if (pick & 0x80)
        for (std::size_t i = 0; i < piece.size(); ++i) units.push_back(static_cast<char16_t>(u"0123456789+-.,eE &hH#:/"[static_cast<unsigned char>(piece[i]) % 23]));
      return MakeBstr(units);
    }
    case kVtDispatch:
    case kVtUnknown:
    case kVtVariant: return v;  // no object or reference out of thin air
    default: break;
  }
  v.vt = t;
  v.llVal = static_cast<std::int64_t>(raw);
  return v;
}

}  // namespace

TIDYLINE_FUZZ_TARGET(variant) {
  tl::fuzz::Input in(data, size);
  for (int item = 0; item < 8 && !in.empty(); ++item) {
    Variant src = Build(in, 0);
    std::uint8_t extra = in.Byte();
    for (VarType t : kTypes) {
      for (VarType asked : {t, static_cast<VarType>(t | (extra & 0x80 ? kVtArray : 0))}) {
        Variant dst;
        HResult h = VariantChangeType(dst, src, asked);
        if (Failed(h)) {
          if (dst.vt != kVtEmpty || dst.llVal != 0) tl::fuzz::Fail("variant", "a failed conversion changed its destination");
        } else if (dst.vt != asked && !(asked == kVtVariant)) {
          tl::fuzz::Fail("variant", "a conversion gave another type", std::to_string(src.vt) + "->" + std::to_string(asked) + " gave " + std::to_string(dst.vt));
        }
        VariantClear(dst);
      }
    }
    Variant copy;
    if (!Failed(VariantCopy(copy, src))) {
      // In place: the source and the destination are the same variant.
      VariantChangeType(copy, copy, kTypes[extra % (sizeof kTypes / sizeof kTypes[0])]);
      Variant ind;
      VariantCopyInd(ind, copy);
      VariantClear(ind);
    }
    VariantClear(copy);
    VariantClear(src);
  }
  return 0;
}
