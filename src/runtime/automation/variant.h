// Automation values: the 16-byte VARIANT, BSTR strings and one-dimensional
// SAFEARRAYs, laid out as the component system lays them out so a Windows
// backend can hand its own values through unchanged. Also the result codes
// (HRESULT) that members report and the variant conversion rules.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tl::rt::automation {

using HResult = std::int32_t;
inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;
inline constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);
inline constexpr HResult kFail = static_cast<HResult>(0x80004005);
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057);
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr HResult kDispUnknownInterface = static_cast<HResult>(0x80020001);
inline constexpr HResult kDispMemberNotFound = static_cast<HResult>(0x80020003);
inline constexpr HResult kDispParamNotFound = static_cast<HResult>(0x80020004);
inline constexpr HResult kDispTypeMismatch = static_cast<HResult>(0x80020005);
inline constexpr HResult kDispUnknownName = static_cast<HResult>(0x80020006);
inline constexpr HResult kDispNoNamedArgs = static_cast<HResult>(0x80020007);
inline constexpr HResult kDispBadVarType = static_cast<HResult>(0x80020008);
inline constexpr HResult kDispException = static_cast<HResult>(0x80020009);
inline constexpr HResult kDispOverflow = static_cast<HResult>(0x8002000A);
inline constexpr HResult kDispBadIndex = static_cast<HResult>(0x8002000B);
inline constexpr HResult kDispBadParamCount = static_cast<HResult>(0x8002000E);
inline constexpr HResult kDispParamNotOptional = static_cast<HResult>(0x8002000F);
inline constexpr HResult kTypeElementNotFound = static_cast<HResult>(0x8002802B);
constexpr bool Failed(HResult h) { return h < 0; }

using VarType = std::uint16_t;
enum : VarType {
  kVtEmpty = 0,
  kVtNull = 1,
  kVtI2 = 2,
  kVtI4 = 3,
  kVtR4 = 4,
  kVtR8 = 5,
  kVtCy = 6,
  kVtDate = 7,
  kVtBstr = 8,
  kVtDispatch = 9,
  kVtError = 10,
  kVtBool = 11,
  kVtVariant = 12,
  kVtUnknown = 13,
  kVtI1 = 16,
  kVtUi1 = 17,
  kVtUi2 = 18,
  kVtUi4 = 19,
  kVtI8 = 20,
  kVtUi8 = 21,
  kVtInt = 22,
  kVtUint = 23,
  kVtArray = 0x2000,
  kVtByRef = 0x4000,
  kVtTypeMask = 0x0FFF,
};

inline constexpr std::int16_t kVariantTrue = -1;
inline constexpr std::int16_t kVariantFalse = 0;

class Unknown;
class Dispatch;
struct SafeArray;

// A BSTR points at UTF-16 units preceded by their byte length (uint32) and
// followed by a zero unit. Null is the empty string.
using Bstr = char16_t*;
Bstr AllocBstr(std::u16string_view text);
void FreeBstr(Bstr s);
std::uint32_t BstrLength(const char16_t* s);  // in units
inline std::u16string_view BstrView(const char16_t* s) { return s ? std::u16string_view(s, BstrLength(s)) : std::u16string_view(); }

struct Variant {
  VarType vt = kVtEmpty;
  std::uint16_t reserved1 = 0, reserved2 = 0, reserved3 = 0;
  union {
    std::int64_t llVal;
    std::int32_t lVal;
    std::int16_t iVal;
    std::uint8_t bVal;
    float fltVal;
    double dblVal;
    double date;
    std::int16_t boolVal;
    HResult scode;
    Bstr bstrVal;
    Unknown* punkVal;
    Dispatch* pdispVal;
    SafeArray* parray;
    void* byref;
  };
  Variant() : llVal(0) {}
};
static_assert(sizeof(Variant) == 16, "the automation VARIANT is 16 bytes");

// One-dimensional arrays with a lower bound (VT_ARRAY | element type). The
// elements are owned by the array (BSTRs, interfaces, variants).
struct SafeArray {
  std::uint16_t dims = 1;
  std::uint16_t features = 0;
  std::uint32_t elementSize = 0;
  std::uint32_t locks = 0;
  VarType elementType = kVtEmpty;  // where the component system keeps it in features/a hidden word
  void* data = nullptr;
  std::uint32_t count = 0;
  std::int32_t lowerBound = 0;
};
SafeArray* CreateSafeArray(VarType elementType, std::uint32_t count, std::int32_t lowerBound = 0);
void DestroySafeArray(SafeArray* a);
SafeArray* CopySafeArray(const SafeArray* a);
// Element size of a type that can sit in an array; 0 for the rest.
std::uint32_t ElementSizeOf(VarType t);

// Releases what the variant holds and leaves it VT_EMPTY.
void VariantClear(Variant& v);
// dst := a deep copy of src (interfaces get one more reference).
HResult VariantCopy(Variant& dst, const Variant& src);
// A copy with references followed (VT_BYREF resolved to the value).
HResult VariantCopyInd(Variant& dst, const Variant& src);
// Converts src to `type` into dst (dst may be src). Failure leaves dst
// untouched and gives DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW or
// DISP_E_BADVARTYPE. An object converts through its default member.
HResult VariantChangeType(Variant& dst, const Variant& src, VarType type);

// Small constructors.
Variant MakeI4(std::int32_t v);
Variant MakeR8(double v);
Variant MakeBool(bool v);
Variant MakeDate(double v);
Variant MakeBstr(std::u16string_view text);
Variant MakeError(HResult code);
// Takes one more reference on the object.
Variant MakeDispatch(Dispatch* d);
Variant MakeUnknown(Unknown* u);

// RAII owner used inside the automation layer and by tests.
class ScopedVariant {
 public:
  ScopedVariant() = default;
  explicit ScopedVariant(Variant v) : v_(v) {}
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(v_); }
  Variant& get() { return v_; }
  const Variant& get() const { return v_; }
  Variant* operator->() { return &v_; }
  Variant release() {
    Variant v = v_;
    v_ = Variant();
    return v;
  }

 private:
  Variant v_;
};

}  // namespace tl::rt::automation
