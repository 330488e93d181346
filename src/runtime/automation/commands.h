// Automation commands: object holders and variants, member access by name
// (get, put, call) with the result converted to the command's kind, and the
// last automation error. The commands drive any object of the object model
// (object_model.h) and never know whether it is in-process or the platform's.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "runtime/automation/object_model.h"
#include "runtime/automation/variant.h"
#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

// The holder's two words: the interface pointer (null when empty) and an
// auxiliary pointer (unused by these objects, kept for the layout).
struct ObjectHolder {
  automation::Unknown* object = nullptr;
  void* aux = nullptr;
};
using Variant = automation::Variant;

// The last automation error of this thread: 0 on success, else the codes
// below. Every automation command sets it.
enum AutomationError : int {
  kAutoOk = 0,
  kAutoEmptyHolder = -1,
  kAutoNoDispatch = -2,
  kAutoNoMember = -3,
  kAutoNoTypeInfo = -4,
  kAutoTooManyArgs = -5,
  kAutoBadArgKind = -7,
  kAutoBadResult = -8,
  kAutoBadParamCount = -9,
  kAutoBadVarType = -10,
  kAutoException = -11,
  kAutoMemberNotFound = -12,
  kAutoNoNamedArgs = -13,
  kAutoOverflow = -14,
  kAutoParamNotFound = -15,
  kAutoTypeMismatch = -16,
  kAutoParamNotOptional = -17,
  kAutoOtherFailure = -18,
};
int LastAutomationError();
// The error code of a failed call's HRESULT.
int AutomationErrorOf(automation::HResult hr);

// An object variable: owns one reference; copies share the object.
class Object {
 public:
  Object() = default;
  Object(const Object& o);
  Object(Object&& o) noexcept : h_(o.h_) { o.h_ = {}; }
  Object& operator=(Object o) noexcept {
    std::swap(h_, o.h_);
    return *this;
  }
  ~Object();
  // Adopts a holder block returned by a command (and frees the block).
  static Object Adopt(ObjectHolder* block);

  ObjectHolder& holder() { return h_; }
  const ObjectHolder& holder() const { return h_; }
  bool empty() const { return h_.object == nullptr; }

 private:
  ObjectHolder h_;
};

// A variant variable owning its VARIANT.
class VariantValue {
 public:
  VariantValue() = default;
  explicit VariantValue(const Variant& adopted) : v_(adopted) {}
  VariantValue(const VariantValue& o) { automation::VariantCopy(v_, o.v_); }
  VariantValue(VariantValue&& o) noexcept : v_(o.v_) { o.v_ = Variant(); }
  VariantValue& operator=(VariantValue o) noexcept {
    std::swap(v_, o.v_);
    return *this;
  }
  ~VariantValue() { automation::VariantClear(v_); }
  static VariantValue Adopt(Variant* block);

  Variant& get() { return v_; }
  const Variant& get() const { return v_; }

 private:
  Variant v_;
};

namespace arg {
TypedArg Object(const ObjectHolder* holder);
TypedArg VariantRef(const Variant* variant);
}  // namespace arg

bool CreateObject(ObjectHolder& holder, std::string_view className,
                  std::optional<std::string_view> typeLibrary = std::nullopt);
void ReleaseObject(ObjectHolder& holder);
// The destination's previous content is not released (callers that replace
// an object release it themselves).
void AssignObject(ObjectHolder& destination, const ObjectHolder& source);
bool IsObjectEmpty(const ObjectHolder& holder);

using MemberArgs = std::span<const TypedArg>;
Text GetTextProperty(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
double GetNumberProperty(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
bool GetBoolProperty(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
double GetDateProperty(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
Object GetObjectProperty(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
VariantValue GetVariantProperty(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
// The last argument is the new value; true when the last error is 0.
bool SetObjectProperty(const ObjectHolder& h, std::string_view name, MemberArgs args);
void CallObjectMethod(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
Text CallObjectMethodText(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
bool CallObjectMethodBool(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
Object CallObjectMethodObject(const ObjectHolder& h, std::string_view name, MemberArgs args = {});
VariantValue CallObjectMethodVariant(const ObjectHolder& h, std::string_view name, MemberArgs args = {});

void ClearVariant(Variant& v);
// Without an index the variant takes the value (a byte-set becomes an array
// of bytes); with a 1-based index the variant must hold an array and that
// element is set.
bool SetVariant(Variant& v, const TypedArg& value, std::optional<std::int32_t> index = std::nullopt);
double VariantToNumber(const Variant& v, std::optional<std::int32_t> index = std::nullopt);
ByteSet VariantToByteSet(const Variant& v, std::optional<std::int32_t> index = std::nullopt);

// Caller side of the frame: an object or variant result block.
inline Object TakeObject(const ResultRecord& r) { return Object::Adopt(static_cast<ObjectHolder*>(r.pointer())); }
inline VariantValue TakeVariant(const ResultRecord& r) { return VariantValue::Adopt(static_cast<Variant*>(r.pointer())); }

namespace cmd {
extern const Command kCreateObject;
extern const Command kReleaseObject;
extern const Command kAssignObject;
extern const Command kIsObjectEmpty;
extern const Command kGetTextProperty;
extern const Command kGetNumberProperty;
extern const Command kGetBoolProperty;
extern const Command kGetDateProperty;
extern const Command kGetObjectProperty;
extern const Command kGetVariantProperty;
extern const Command kSetObjectProperty;
extern const Command kCallObjectMethod;
extern const Command kCallObjectMethodText;
extern const Command kCallObjectMethodBool;
extern const Command kCallObjectMethodObject;
extern const Command kCallObjectMethodVariant;
extern const Command kClearVariant;
extern const Command kSetVariant;
extern const Command kVariantToNumber;
extern const Command kVariantToByteSet;
}  // namespace cmd

}  // namespace tl::rt
