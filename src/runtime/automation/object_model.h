// The object model the automation commands drive: reference-counted objects
// that may offer a dispatch interface (members bound by name through type
// information, then invoked) and a variant enumerator. It has the shape of
// the component system's IUnknown / IDispatch / IEnumVARIANT, so a Windows
// backend adapts the real interfaces one to one, and the in-process classes
// of Linux implement it directly. The commands never know which they drive.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/automation/variant.h"

namespace tl::rt::automation {

class Dispatch;
class EnumVariant;

class Unknown {
 public:
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;
  // Each gives a new reference, or null when the object lacks the interface.
  virtual Dispatch* QueryDispatch() { return nullptr; }
  virtual EnumVariant* QueryEnumVariant() { return nullptr; }

 protected:
  virtual ~Unknown() = default;
};

using DispId = std::int32_t;
inline constexpr DispId kDispIdValue = 0;
inline constexpr DispId kDispIdUnknown = -1;
inline constexpr DispId kDispIdPropertyPut = -3;
inline constexpr DispId kDispIdNewEnum = -4;

// Invocation kinds, with the component system's values.
enum InvokeKind : std::uint16_t {
  kInvokeMethod = 1,
  kInvokePropertyGet = 2,
  kInvokePropertyPut = 4,
  kInvokePropertyPutRef = 8,
};

struct ParamDesc {
  VarType type = kVtVariant;  // VT_VARIANT: taken as given
  bool byRef = false;
  bool optional = false;
};

// What type information says about one member of one invocation kind.
struct MemberDesc {
  std::u16string_view name;
  DispId id = 0;
  InvokeKind kind = kInvokeMethod;
  std::span<const ParamDesc> params;  // a put's value is the last one
  bool varArgs = false;
  VarType result = kVtEmpty;
};

// Arguments as the component system passes them: `args` in reverse order
// (args[0] is the last), named arguments first (a put names its value
// DISPID_PROPERTYPUT).
struct DispParams {
  Variant* args = nullptr;
  const DispId* namedIds = nullptr;
  std::uint32_t count = 0;
  std::uint32_t namedCount = 0;
};

class Dispatch : public Unknown {
 public:
  // kOk with *member set; DISP_E_UNKNOWNNAME when nothing of that name and
  // kind exists; TYPE_E_ELEMENTNOTFOUND-like failures when the object has no
  // type information at all.
  virtual HResult Bind(std::u16string_view name, InvokeKind kind, const MemberDesc** member) = 0;
  // `result` may be null; on success it receives the member's value.
  virtual HResult Invoke(DispId id, InvokeKind kind, DispParams& params, Variant* result) = 0;
};

class EnumVariant : public Unknown {
 public:
  // Fetches up to `count` items into `items`; kOk when all were fetched,
  // kFalse when fewer (`*fetched` says how many).
  virtual HResult Next(std::uint32_t count, Variant* items, std::uint32_t* fetched) = 0;
  virtual HResult Skip(std::uint32_t count) = 0;
  virtual HResult Reset() = 0;
  virtual HResult Clone(EnumVariant** copy) = 0;
};

// Reference counting for the in-process classes.
template <typename Base>
class RefCounted : public Base {
 public:
  std::uint32_t AddRef() override { return ++refs_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::uint32_t refs_ = 1;
};

// Smart reference: adopts one reference, releases it at the end.
template <typename T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* adopted) : p_(adopted) {}
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ref& operator=(Ref o) noexcept {
    T* t = p_;
    p_ = o.p_;
    o.p_ = t;
    return *this;
  }
  ~Ref() {
    if (p_) p_->Release();
  }
  static Ref Share(T* p) {
    if (p) p->AddRef();
    return Ref(p);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* release() {
    T* t = p_;
    p_ = nullptr;
    return t;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace tl::rt::automation
