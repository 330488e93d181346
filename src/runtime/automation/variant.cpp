#include "runtime/automation/variant.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "runtime/automation/object_model.h"
#include "runtime/automation/wide_text.h"
#include "runtime/core/datetime.h"
#include "runtime/core/gbk_view.h"

namespace tl::rt::automation {

// ---------------------------------------------------------------------------
// BSTR

Bstr AllocBstr(std::u16string_view text) {
  // The length prefix is 32 bits of bytes.
  if (text.size() > 0x7FFFFFFEu / 2) throw std::bad_alloc();
  auto* block = static_cast<char*>(std::malloc(4 + (text.size() + 1) * 2));
  if (!block) throw std::bad_alloc();
  const std::uint32_t bytes = static_cast<std::uint32_t>(text.size() * 2);
  std::memcpy(block, &bytes, 4);
  auto* units = reinterpret_cast<char16_t*>(block + 4);
  if (!text.empty()) std::memcpy(units, text.data(), text.size() * 2);
  units[text.size()] = 0;
  return units;
}

void FreeBstr(Bstr s) {
  if (s) std::free(reinterpret_cast<char*>(s) - 4);
}

std::uint32_t BstrLength(const char16_t* s) {
  if (!s) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const char*>(s) - 4, 4);
  return bytes / 2;
}

// ---------------------------------------------------------------------------
// SAFEARRAY

std::uint32_t ElementSizeOf(VarType t) {
  switch (t) {
    case kVtUi1: case kVtI1: return 1;
    case kVtI2: case kVtUi2: case kVtBool: return 2;
    case kVtI4: case kVtUi4: case kVtR4: case kVtError: case kVtInt: case kVtUint: return 4;
    case kVtR8: case kVtDate: case kVtI8: case kVtUi8: case kVtCy: return 8;
    case kVtBstr: case kVtDispatch: case kVtUnknown: return sizeof(void*);
    case kVtVariant: return sizeof(Variant);
    default: return 0;
  }
}

SafeArray* CreateSafeArray(VarType elementType, std::uint32_t count, std::int32_t lowerBound) {
  const std::uint32_t size = ElementSizeOf(elementType);
  if (size == 0) return nullptr;
  auto* a = new SafeArray;
  a->elementType = elementType;
  a->elementSize = size;
  a->count = count;
  a->lowerBound = lowerBound;
  a->data = std::calloc(count ? count : 1, size);
  if (!a->data) {
    delete a;
    throw std::bad_alloc();
  }
  // Zeroed memory is a valid empty element for every supported type
  // (VT_EMPTY variants, null strings and interfaces).
  return a;
}

void DestroySafeArray(SafeArray* a) {
  if (!a) return;
  for (std::uint32_t i = 0; i < a->count; ++i) {
    char* e = static_cast<char*>(a->data) + static_cast<std::size_t>(i) * a->elementSize;
    switch (a->elementType) {
      case kVtBstr: FreeBstr(*reinterpret_cast<Bstr*>(e)); break;
      case kVtDispatch:
      case kVtUnknown:
        if (auto* u = *reinterpret_cast<Unknown**>(e)) u->Release();
        break;
      case kVtVariant: VariantClear(*reinterpret_cast<Variant*>(e)); break;
      default: break;
    }
  }
  std::free(a->data);
  delete a;
}

SafeArray* CopySafeArray(const SafeArray* a) {
  if (!a) return nullptr;
  SafeArray* c = CreateSafeArray(a->elementType, a->count, a->lowerBound);
  if (!c) return nullptr;  // an element type no array can hold
  for (std::uint32_t i = 0; i < a->count; ++i) {
    const std::size_t off = static_cast<std::size_t>(i) * a->elementSize;
    const char* from = static_cast<const char*>(a->data) + off;
    char* to = static_cast<char*>(c->data) + off;
    switch (a->elementType) {
      case kVtBstr: {
        Bstr s = *reinterpret_cast<const Bstr*>(from);
        *reinterpret_cast<Bstr*>(to) = s ? AllocBstr(BstrView(s)) : nullptr;
        break;
      }
      case kVtDispatch:
      case kVtUnknown: {
        Unknown* u = *reinterpret_cast<Unknown* const*>(from);
        if (u) u->AddRef();
        *reinterpret_cast<Unknown**>(to) = u;
        break;
      }
      case kVtVariant:
        VariantCopy(*reinterpret_cast<Variant*>(to), *reinterpret_cast<const Variant*>(from));
        break;
      default: std::memcpy(to, from, a->elementSize);
    }
  }
  return c;
}

// ---------------------------------------------------------------------------
// Clear and copy

void VariantClear(Variant& v) {
  if (!(v.vt & kVtByRef)) {
    if (v.vt & kVtArray) {
      DestroySafeArray(v.parray);
    } else {
      switch (v.vt) {
        case kVtBstr: FreeBstr(v.bstrVal); break;
        case kVtDispatch:
        case kVtUnknown:
          if (v.punkVal) v.punkVal->Release();
          break;
        default: break;
      }
    }
  }
  v = Variant();
}

HResult VariantCopy(Variant& dst, const Variant& src) {
  if (&dst == &src) return kOk;
  Variant c = src;
  if (!(src.vt & kVtByRef)) {
    if (src.vt & kVtArray) {
      c.parray = CopySafeArray(src.parray);
    } else {
      switch (src.vt) {
        case kVtBstr: c.bstrVal = src.bstrVal ? AllocBstr(BstrView(src.bstrVal)) : nullptr; break;
        case kVtDispatch:
        case kVtUnknown:
          if (src.punkVal) src.punkVal->AddRef();
          break;
        default: break;
      }
    }
  }
  VariantClear(dst);
  dst = c;
  return kOk;
}

namespace {

// The value a VT_BYREF variant points at, as a plain (non-owning) variant.
// False for a null reference or a chain of references that does not end.
bool Deref(const Variant& v, Variant& out, int depth = 0) {
  if (!(v.vt & kVtByRef)) {
    out = v;
    return true;
  }
  if (!v.byref || depth > 8) return false;
  Variant r;
  const VarType t = v.vt & ~kVtByRef;
  if (t == kVtVariant) return Deref(*static_cast<const Variant*>(v.byref), out, depth + 1);
  r.vt = t;
  if (t & kVtArray) {
    r.parray = *static_cast<SafeArray* const*>(v.byref);
  } else {
    const std::uint32_t size = ElementSizeOf(t);
    if (size > sizeof r.llVal) return false;
    if (size) std::memcpy(&r.llVal, v.byref, size);
  }
  out = r;
  return true;
}

}  // namespace

HResult VariantCopyInd(Variant& dst, const Variant& src) {
  Variant plain;
  if (!Deref(src, plain)) {
    VariantClear(dst);
    return kDispBadVarType;
  }
  Variant copy;
  VariantCopy(copy, plain);
  VariantClear(dst);
  dst = copy;
  return kOk;
}

// ---------------------------------------------------------------------------
// Conversion

namespace {

bool IsNumeric(VarType t) {
  switch (t) {
    case kVtI1: case kVtUi1: case kVtI2: case kVtUi2: case kVtI4: case kVtUi4: case kVtInt:
    case kVtUint: case kVtI8: case kVtUi8: case kVtR4: case kVtR8: case kVtDate: case kVtBool:
    case kVtCy:
      return true;
    default: return false;
  }
}

double NumberOf(const Variant& v) {
  switch (v.vt) {
    case kVtI1: return static_cast<std::int8_t>(v.bVal);
    case kVtUi1: return v.bVal;
    case kVtI2: return v.iVal;
    case kVtUi2: return static_cast<std::uint16_t>(v.iVal);
    case kVtI4: case kVtInt: return v.lVal;
    case kVtUi4: case kVtUint: return static_cast<std::uint32_t>(v.lVal);
    case kVtI8: return static_cast<double>(v.llVal);
    case kVtUi8: return static_cast<double>(static_cast<std::uint64_t>(v.llVal));
    case kVtCy: return static_cast<double>(v.llVal) / 10000.0;
    case kVtR4: return v.fltVal;
    case kVtR8: return v.dblVal;
    case kVtDate: return v.date;
    case kVtBool: return v.boolVal ? -1.0 : 0.0;
    default: return 0.0;
  }
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string NumberText(const Variant& v) {
  char buf[64];
  std::to_chars_result r{};
  switch (v.vt) {
    case kVtR4: r = std::to_chars(buf, buf + sizeof buf, v.fltVal); break;
    case kVtR8: r = std::to_chars(buf, buf + sizeof buf, v.dblVal); break;
    case kVtI8: r = std::to_chars(buf, buf + sizeof buf, v.llVal); break;
    case kVtUi8: r = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(v.llVal)); break;
    case kVtCy: r = std::to_chars(buf, buf + sizeof buf, NumberOf(v)); break;
    default: r = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(NumberOf(v)));
  }
  return Widen(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

// "2024/1/2 3:04:05", the short form of the Chinese locale; the time is left
// out at midnight and the date on day zero.
std::u16string DateText(double d) {
  const CivilTime t = CivilFromDateTime(d);
  char buf[48];
  const bool hasTime = t.hour || t.minute || t.second;
  int n = 0;
  if (std::trunc(d) != 0.0 || !hasTime) n = std::snprintf(buf, sizeof buf, "%d/%d/%d", t.year, t.month, t.day);
  if (hasTime) {
    n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), "%s%d:%02d:%02d", n ? " " : "", t.hour,
                       t.minute, t.second);
  }
  return Widen(std::string_view(buf, static_cast<std::size_t>(n)));
}

std::string Narrow(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) {
    if (c >= 0x80) return {};  // not a number or a date anyway
    out += static_cast<char>(c);
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ParseNumber(std::u16string_view text, double& out) {
  std::string s = Narrow(text);
  std::string_view t = Trim(s);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  auto r = std::from_chars(t.data(), t.data() + t.size(), out);
  return r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(out);
}

bool EqualsAsciiNoCase(std::u16string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != static_cast<unsigned char>(gbk::FoldAscii(b[i]))) return false;
  }
  return true;
}

// "Y/M/D", "Y-M-D", optionally followed by " H:M[:S]", or a time alone.
bool ParseDate(std::u16string_view text, double& out) {
  std::string s = Narrow(text);
  std::string_view t = Trim(s);
  int f[6] = {0, 0, 0, 0, 0, 0};
  int count = 0;
  std::size_t i = 0;
  bool sawDate = false, sawTime = false;
  auto number = [&](int& v) {
    std::size_t start = i;
    v = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9' && i - start < 5) v = v * 10 + (t[i++] - '0');
    return i > start;
  };
  if (t.find_first_of("/-") != std::string_view::npos) {
    for (int k = 0; k < 3; ++k) {
      if (!number(f[k])) return false;
      if (k < 2) {
        if (i >= t.size() || (t[i] != '/' && t[i] != '-')) return false;
        ++i;
      }
    }
    sawDate = true;
    count = 3;
    while (i < t.size() && t[i] == ' ') ++i;
  }
  if (i < t.size()) {
    for (int k = 3; k < 6; ++k) {
      if (!number(f[k])) return false;
      ++count;
      if (i < t.size() && t[i] == ':' && k < 5) {
        ++i;
      } else {
        break;
      }
    }
    if (i != t.size() || count - (sawDate ? 3 : 0) < 2) return false;
    sawTime = true;
  }
  if (!sawDate && !sawTime) return false;
  CivilTime c{sawDate ? f[0] : 1899, sawDate ? f[1] : 12, sawDate ? f[2] : 30, f[3], f[4], f[5]};
  if (!IsValidCivil(c)) return false;
  out = DateTimeFromCivil(c);
  return true;
}

HResult FromDouble(double d, VarType type, Variant& out) {
  auto integral = [&](double lo, double hi, auto store) -> HResult {
    const double r = std::nearbyint(d);  // round half to even, as the platform does
    if (!(r >= lo && r <= hi)) return kDispOverflow;
    store(r);
    return kOk;
  };
  out = Variant();
  out.vt = type;
  switch (type) {
    case kVtUi1: return integral(0, 255, [&](double r) { out.bVal = static_cast<std::uint8_t>(r); });
    case kVtI1: return integral(-128, 127, [&](double r) { out.bVal = static_cast<std::uint8_t>(static_cast<std::int8_t>(r)); });
    case kVtI2: return integral(-32768, 32767, [&](double r) { out.iVal = static_cast<std::int16_t>(r); });
    case kVtUi2: return integral(0, 65535, [&](double r) { out.iVal = static_cast<std::int16_t>(static_cast<std::uint16_t>(r)); });
    case kVtI4:
    case kVtInt:
      return integral(-2147483648.0, 2147483647.0, [&](double r) { out.lVal = static_cast<std::int32_t>(r); });
    case kVtUi4:
    case kVtUint:
      return integral(0, 4294967295.0, [&](double r) { out.lVal = static_cast<std::int32_t>(static_cast<std::uint32_t>(r)); });
    case kVtI8:
      return integral(-9223372036854775808.0, 9223372036854774784.0, [&](double r) { out.llVal = static_cast<std::int64_t>(r); });
    case kVtUi8:
      return integral(0, 18446744073709549568.0, [&](double r) { out.llVal = static_cast<std::int64_t>(static_cast<std::uint64_t>(r)); });
    case kVtR4:
      if (std::fabs(d) > std::numeric_limits<float>::max()) return kDispOverflow;
      out.fltVal = static_cast<float>(d);
      return kOk;
    case kVtR8: out.dblVal = d; return kOk;
    case kVtCy:
      if (!(std::fabs(d) <= 922337203685477.0)) return kDispOverflow;  // NaN too: its cast is undefined
      out.llVal = static_cast<std::int64_t>(std::nearbyint(d * 10000.0));
      return kOk;
    case kVtDate:
      if (!(d >= -657434.0 && d < 2958466.0)) return kDispOverflow;
      out.date = d;
      return kOk;
    case kVtBool: out.boolVal = d != 0.0 ? kVariantTrue : kVariantFalse; return kOk;
    default: out = Variant(); return kDispBadVarType;
  }
}

}  // namespace

HResult VariantChangeType(Variant& dst, const Variant& srcIn, VarType type) {
  Variant src;
  if (!Deref(srcIn, src)) return kDispBadVarType;
  Variant out;
  HResult hr = kOk;

  if (type & (kVtByRef | kVtArray)) {
    if (src.vt != type) return kDispTypeMismatch;
    hr = VariantCopy(out, src);
  } else if (type == kVtVariant || type == src.vt) {
    hr = VariantCopy(out, src);
  } else if (src.vt & kVtArray) {
    return kDispTypeMismatch;
  } else if (type == kVtEmpty) {
    out = Variant();
  } else if (type == kVtNull) {
    if (src.vt != kVtEmpty) return kDispTypeMismatch;
    out.vt = kVtNull;
  } else if (type == kVtDispatch || type == kVtUnknown) {
    if (src.vt != kVtDispatch && src.vt != kVtUnknown) return kDispTypeMismatch;
    if (!src.punkVal) {
      out.vt = type;
    } else if (type == kVtUnknown) {
      src.punkVal->AddRef();
      out.vt = kVtUnknown;
      out.punkVal = src.punkVal;
    } else {
      Dispatch* d = src.punkVal->QueryDispatch();
      if (!d) return kDispTypeMismatch;
      out.vt = kVtDispatch;
      out.pdispVal = d;
    }
  } else if (src.vt == kVtDispatch || src.vt == kVtUnknown) {
    // An object converts through its default member (DISPID_VALUE).
    if (!src.punkVal) return kDispTypeMismatch;
    Ref<Dispatch> d(src.punkVal->QueryDispatch());
    if (!d) return kDispTypeMismatch;
    DispParams none;
    ScopedVariant value;
    if (Failed(d->Invoke(kDispIdValue, kInvokePropertyGet, none, &value.get()))) return kDispTypeMismatch;
    if (value->vt == kVtDispatch || value->vt == kVtUnknown) return kDispTypeMismatch;
    return VariantChangeType(dst, value.get(), type);
  } else if (src.vt == kVtNull || src.vt == kVtError || type == kVtError) {
    return kDispTypeMismatch;
  } else if (type == kVtBstr) {
    out.vt = kVtBstr;
    if (src.vt == kVtEmpty) {
      out.bstrVal = AllocBstr(u"");
    } else if (src.vt == kVtBool) {
      out.bstrVal = AllocBstr(src.boolVal ? u"True" : u"False");
    } else if (src.vt == kVtDate) {
      out.bstrVal = AllocBstr(DateText(src.date));
    } else if (IsNumeric(src.vt)) {
      out.bstrVal = AllocBstr(NumberText(src));
    } else {
      return kDispBadVarType;
    }
  } else if (src.vt == kVtEmpty) {
    hr = FromDouble(0.0, type, out);
  } else if (src.vt == kVtBstr) {
    const std::u16string_view text = BstrView(src.bstrVal);
    double d = 0;
    if (type == kVtBool && EqualsAsciiNoCase(text, "true")) {
      d = -1;
    } else if (type == kVtBool && EqualsAsciiNoCase(text, "false")) {
      d = 0;
    } else if (type == kVtDate) {
      if (!ParseDate(text, d) && !ParseNumber(text, d)) return kDispTypeMismatch;
    } else if (!ParseNumber(text, d)) {
      return kDispTypeMismatch;
    }
    hr = FromDouble(d, type, out);
  } else if (IsNumeric(src.vt)) {
    hr = FromDouble(NumberOf(src), type, out);
  } else {
    return kDispBadVarType;
  }
  if (Failed(hr)) return hr;
  VariantClear(dst);
  dst = out;
  return kOk;
}

// ---------------------------------------------------------------------------

Variant MakeI4(std::int32_t v) {
  Variant r;
  r.vt = kVtI4;
  r.lVal = v;
  return r;
}
Variant MakeR8(double v) {
  Variant r;
  r.vt = kVtR8;
  r.dblVal = v;
  return r;
}
Variant MakeBool(bool v) {
  Variant r;
  r.vt = kVtBool;
  r.boolVal = v ? kVariantTrue : kVariantFalse;
  return r;
}
Variant MakeDate(double v) {
  Variant r;
  r.vt = kVtDate;
  r.date = v;
  return r;
}
Variant MakeBstr(std::u16string_view text) {
  Variant r;
  r.vt = kVtBstr;
  r.bstrVal = AllocBstr(text);
  return r;
}
Variant MakeError(HResult code) {
  Variant r;
  r.vt = kVtError;
  r.scode = code;
  return r;
}
Variant MakeDispatch(Dispatch* d) {
  Variant r;
  r.vt = kVtDispatch;
  r.pdispVal = d;
  if (d) d->AddRef();
  return r;
}
Variant MakeUnknown(Unknown* u) {
  Variant r;
  r.vt = kVtUnknown;
  r.punkVal = u;
  if (u) u->AddRef();
  return r;
}

}  // namespace tl::rt::automation
