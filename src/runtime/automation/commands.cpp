#include "runtime/automation/commands.h"

#include <cstring>
#include <new>
#include <vector>

#include "runtime/os/automation_classes.h"
#include "runtime/automation/wide_text.h"

namespace tl::rt {

using namespace automation;

namespace {

thread_local int g_lastError = 0;

int SetError(int code) {
  g_lastError = code;
  return code;
}

// ---------------------------------------------------------------------------
// Typed argument -> VARIANT

// Reads a system-kind argument as a plain (non-indirect) argument.
TypedArg Direct(const TypedArg& a) {
  if (!IsIndirect(a.tag)) return a;
  TypedArg d;
  d.tag = BaseTag(a.tag);
  const void* p = a.pointer();
  if (!p) return TypedArg{};
  if (d.tag == kTagText) {
    d.set_pointer(*static_cast<char* const*>(p));
    return d;
  }
  std::uint64_t w = 0;
  const std::size_t size = RawSize(d.tag);
  if (size == 0 || size > 8) return TypedArg{};
  std::memcpy(&w, p, size);
  d.set_word(w);
  return d;
}

// Step 4 of member access. Byte-sets are only taken where the caller allows
// them (SetVariant).
int ToVariant(const TypedArg& in, Variant& out, bool byteSets) {
  out = Variant();
  if (in.tag == kTagObjectHolder) {
    auto* h = static_cast<const ObjectHolder*>(in.pointer());
    Dispatch* d = (h && h->object) ? h->object->QueryDispatch() : nullptr;
    if (h && h->object && !d) {
      out = MakeUnknown(h->object);
    } else {
      out.vt = kVtDispatch;
      out.pdispVal = d;  // adopts the reference QueryDispatch gave
    }
    return kAutoOk;
  }
  if (in.tag == kTagVariant) {
    auto* v = static_cast<const Variant*>(in.pointer());
    if (v) VariantCopy(out, *v);
    return kAutoOk;
  }
  if (BaseTag(in.tag) == kTagByteSet && byteSets && !IsIndirect(in.tag)) {
    const void* block = in.pointer();
    const std::size_t n = ByteSet::BlockSize(block);
    SafeArray* a = CreateSafeArray(kVtUi1, static_cast<std::uint32_t>(n));
    if (n) std::memcpy(a->data, ByteSet::BlockData(block), n);
    out.vt = kVtArray | kVtUi1;
    out.parray = a;
    return kAutoOk;
  }
  if (!IsSystemKind(in.tag)) return kAutoBadArgKind;
  const TypedArg a = Direct(in);
  switch (a.tag) {
    case kTagBoolean: out = MakeBool(a.as_int() != 0); return kAutoOk;
    case kTagDateTime: out = MakeDate(a.as_double()); return kAutoOk;
    case kTagText: {
      auto* s = static_cast<const char*>(a.pointer());
      out = MakeBstr(GbkToUtf16(s ? std::string_view(s) : std::string_view()));
      return kAutoOk;
    }
    case kTagByte:
      out.vt = kVtUi1;
      out.bVal = static_cast<std::uint8_t>(a.lo);
      return kAutoOk;
    case kTagShort:
      out.vt = kVtI2;
      out.iVal = static_cast<std::int16_t>(a.lo);
      return kAutoOk;
    case kTagInt: out = MakeI4(a.as_int()); return kAutoOk;
    case kTagLong: out = MakeI4(static_cast<std::int32_t>(a.lo)); return kAutoOk;
    case kTagFloat:
      out.vt = kVtR4;
      out.fltVal = a.as_float();
      return kAutoOk;
    case kTagDouble: out = MakeR8(a.as_double()); return kAutoOk;
    default: return kAutoBadArgKind;
  }
}

// Writes a by-reference value back into the caller's variable.
void CopyBack(const TypedArg& a, const Variant& value) {
  if (a.tag == kTagVariant) {
    if (auto* v = static_cast<Variant*>(a.pointer())) VariantCopyInd(*v, value);
    return;
  }
  if (a.tag == kTagObjectHolder) {
    auto* h = static_cast<ObjectHolder*>(a.pointer());
    Variant d;
    if (!h || Failed(VariantChangeType(d, value, kVtDispatch))) return;
    ReleaseObject(*h);
    h->object = d.pdispVal;  // adopts
    return;
  }
  if (!IsIndirect(a.tag) || !a.pointer()) return;
  void* p = a.pointer();
  const std::uint32_t kind = BaseTag(a.tag);
  if (kind == kTagText) {
    ScopedVariant s;
    if (Failed(VariantChangeType(s.get(), value, kVtBstr))) return;
    Text t(Utf16ToGbk(BstrView(s->bstrVal)));
    auto** slot = static_cast<char**>(p);
    Release(*slot);
    *slot = t.release();
    return;
  }
  VarType vt;
  switch (kind) {
    case kTagByte: vt = kVtUi1; break;
    case kTagShort: vt = kVtI2; break;
    case kTagInt: vt = kVtI4; break;
    case kTagLong: vt = kVtI8; break;
    case kTagFloat: vt = kVtR4; break;
    case kTagDouble: vt = kVtR8; break;
    case kTagDateTime: vt = kVtDate; break;
    case kTagBoolean: vt = kVtBool; break;
    default: return;
  }
  Variant c;
  if (Failed(VariantChangeType(c, value, vt))) return;
  if (kind == kTagBoolean) {
    const std::int32_t b = c.boolVal ? 1 : 0;
    std::memcpy(p, &b, 4);
  } else {
    std::memcpy(p, &c.llVal, RawSize(kind));
  }
}

bool IsVariable(const TypedArg& a) {
  return a.tag == kTagVariant || a.tag == kTagObjectHolder || IsIndirect(a.tag);
}

// ---------------------------------------------------------------------------
// Member access

enum class Access { kGet, kPut, kCall };

// Steps 1-6; `result` receives the member's value on success.
int Invoke(const ObjectHolder& h, std::string_view name, MemberArgs args, Access access, Variant& result) {
  result = Variant();
  if (!h.object) return SetError(kAutoEmptyHolder);
  Ref<Dispatch> d(h.object->QueryDispatch());
  if (!d) return SetError(kAutoNoDispatch);

  const std::u16string wideName = GbkToUtf16(name);
  static constexpr InvokeKind kGetOrder[] = {kInvokePropertyGet, kInvokeMethod};
  static constexpr InvokeKind kPutOrder[] = {kInvokePropertyPut, kInvokePropertyPutRef, kInvokeMethod};
  static constexpr InvokeKind kCallOrder[] = {kInvokeMethod, kInvokePropertyGet, kInvokePropertyPut,
                                              kInvokePropertyPutRef};
  std::span<const InvokeKind> order = access == Access::kGet   ? std::span<const InvokeKind>(kGetOrder)
                                      : access == Access::kPut ? std::span<const InvokeKind>(kPutOrder)
                                                               : std::span<const InvokeKind>(kCallOrder);
  const MemberDesc* member = nullptr;
  for (InvokeKind kind : order) {
    const HResult hr = d->Bind(wideName, kind, &member);
    if (hr == kOk && member) break;
    member = nullptr;
    if (hr != kDispUnknownName && hr != kDispMemberNotFound) return SetError(kAutoNoTypeInfo);
  }
  if (!member) return SetError(kAutoNoMember);

  std::size_t n = args.size();
  while (n > 0 && !args[n - 1].given()) --n;
  if (n > member->params.size() && !member->varArgs) return SetError(kAutoTooManyArgs);

  // cells hold the values; passed[] is what the member sees (a reference to
  // the cell for by-reference parameters), in the component system's
  // reverse order.
  std::vector<Variant> cells(n);
  std::vector<Variant> passed(n);
  std::vector<bool> byRef(n, false);
  struct Cleanup {
    std::vector<Variant>& cells;
    ~Cleanup() {
      for (Variant& v : cells) VariantClear(v);
    }
  } cleanup{cells};
  for (std::size_t i = 0; i < n; ++i) {
    Variant& cell = cells[i];
    if (!args[i].given()) {
      cell = MakeError(kDispParamNotFound);
    } else {
      if (int e = ToVariant(args[i], cell, false); e != kAutoOk) return SetError(e);
      if (i < member->params.size()) {
        const ParamDesc& p = member->params[i];
        const VarType want = p.type;
        if (want != kVtVariant && want != kVtEmpty && cell.vt != want) {
          const HResult hr = VariantChangeType(cell, cell, want);
          if (Failed(hr)) return SetError(AutomationErrorOf(hr));
        }
        byRef[i] = p.byRef;
      }
    }
    Variant& to = passed[n - 1 - i];
    if (byRef[i]) {
      if (member->params[i].type == kVtVariant) {
        to.vt = kVtByRef | kVtVariant;
        to.byref = &cell;
      } else {
        to.vt = static_cast<VarType>(kVtByRef | cell.vt);
        to.byref = (cell.vt & kVtArray) ? static_cast<void*>(&cell.parray) : static_cast<void*>(&cell.llVal);
      }
    } else {
      to = cell;  // shares; the cell owns
    }
  }

  DispParams params;
  params.args = passed.data();
  params.count = static_cast<std::uint32_t>(n);
  static const DispId kPutName = kDispIdPropertyPut;
  const bool put = member->kind == kInvokePropertyPut || member->kind == kInvokePropertyPutRef;
  if (put) {
    params.namedIds = &kPutName;
    params.namedCount = n ? 1 : 0;
  }
  const HResult hr = d->Invoke(member->id, member->kind, params, &result);
  if (Failed(hr)) {
    VariantClear(result);
    return SetError(AutomationErrorOf(hr));
  }
  for (std::size_t i = 0; i < n; ++i)
    if (byRef[i] && IsVariable(args[i])) CopyBack(args[i], cells[i]);
  return SetError(kAutoOk);
}

// Runs the access and converts the result (step 7); false on any error.
bool InvokeAs(const ObjectHolder& h, std::string_view name, MemberArgs args, Access access, VarType type,
              Variant& out) {
  ScopedVariant raw;
  if (Invoke(h, name, args, access, raw.get()) != kAutoOk) return false;
  if (type == kVtVariant) {
    out = raw.release();
    return true;
  }
  if (Failed(VariantChangeType(out, raw.get(), type))) {
    SetError(kAutoBadResult);
    return false;
  }
  return true;
}

Text TextOf(const ObjectHolder& h, std::string_view name, MemberArgs args, Access access) {
  ScopedVariant v;
  if (!InvokeAs(h, name, args, access, kVtBstr, v.get())) return Text();
  return Text(Utf16ToGbk(BstrView(v->bstrVal)));
}

bool BoolOf(const ObjectHolder& h, std::string_view name, MemberArgs args, Access access) {
  Variant v;
  return InvokeAs(h, name, args, access, kVtBool, v) && v.boolVal != 0;
}

Object ObjectOf(const ObjectHolder& h, std::string_view name, MemberArgs args, Access access) {
  Variant v;
  if (!InvokeAs(h, name, args, access, kVtDispatch, v)) return Object();
  ObjectHolder block{v.pdispVal, nullptr};
  auto* p = static_cast<ObjectHolder*>(Allocate(sizeof(ObjectHolder)));
  *p = block;
  return Object::Adopt(p);
}

VariantValue VariantOf(const ObjectHolder& h, std::string_view name, MemberArgs args, Access access) {
  Variant v;
  if (!InvokeAs(h, name, args, access, kVtVariant, v)) return VariantValue();
  return VariantValue(v);
}

// An array whose element size fits its element type (anything else came
// from outside and cannot be read safely).
bool WellFormed(const SafeArray& a) {
  return a.data && a.elementSize != 0 && a.elementSize == ElementSizeOf(a.elementType);
}

// Element `index` (1-based linear) of the array a variant holds.
bool ArrayElement(const Variant& v, std::int32_t index, Variant& out) {
  const Variant* plain = &v;
  Variant deref;
  if (v.vt & kVtByRef) {
    VariantCopyInd(deref, v);
    plain = &deref;
  }
  ScopedVariant guard(deref);
  if (!(plain->vt & kVtArray) || !plain->parray) return false;
  const SafeArray* a = plain->parray;
  if (!WellFormed(*a) || index < 1 || static_cast<std::uint32_t>(index) > a->count) return false;
  const char* e = static_cast<const char*>(a->data) + static_cast<std::size_t>(index - 1) * a->elementSize;
  Variant element;
  if (a->elementType == kVtVariant) {
    element = *reinterpret_cast<const Variant*>(e);
  } else {
    element.vt = a->elementType;
    std::memcpy(&element.llVal, e, a->elementSize);
  }
  VariantCopy(out, element);
  return true;
}

// ---------------------------------------------------------------------------
// Frame bodies

const ObjectHolder* HolderAt(int argc, const TypedArg* args, int i) {
  static const ObjectHolder kEmpty{};
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a || a->tag != kTagObjectHolder || !a->pointer()) return &kEmpty;
  return static_cast<const ObjectHolder*>(a->pointer());
}

ObjectHolder* HolderVariable(int argc, const TypedArg* args, int i) {
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a || a->tag != kTagObjectHolder) return nullptr;
  return static_cast<ObjectHolder*>(a->pointer());
}

Variant* VariantAt(int argc, const TypedArg* args, int i) {
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a || a->tag != kTagVariant) return nullptr;
  return static_cast<Variant*>(a->pointer());
}

MemberArgs Rest(int argc, const TypedArg* args) {
  return argc > 2 ? MemberArgs(args + 2, static_cast<std::size_t>(argc - 2)) : MemberArgs();
}

void ReturnObject(ResultRecord& r, Object o) {
  auto* block = static_cast<ObjectHolder*>(Allocate(sizeof(ObjectHolder)));
  *block = o.holder();
  o.holder() = {};
  r.set_pointer(block);
  r.tag = kTagObjectHolder;
}

void ReturnVariant(ResultRecord& r, VariantValue v) {
  auto* block = static_cast<Variant*>(Allocate(sizeof(Variant)));
  *block = v.get();
  v.get() = Variant();
  r.set_pointer(block);
  r.tag = kTagVariant;
}

}  // namespace

int LastAutomationError() { return g_lastError; }

int AutomationErrorOf(HResult hr) {
  switch (hr) {
    case kDispBadParamCount: return kAutoBadParamCount;
    case kDispBadVarType: return kAutoBadVarType;
    case kDispException: return kAutoException;
    case kDispMemberNotFound: return kAutoMemberNotFound;
    case kDispNoNamedArgs: return kAutoNoNamedArgs;
    case kDispOverflow: return kAutoOverflow;
    case kDispParamNotFound: return kAutoParamNotFound;
    case kDispTypeMismatch: return kAutoTypeMismatch;
    case kDispParamNotOptional: return kAutoParamNotOptional;
    default: return kAutoOtherFailure;
  }
}

// ---------------------------------------------------------------------------
// Object, VariantValue

// Variables come and go without touching the last error, which belongs to
// the commands the program calls.
Object::Object(const Object& o) : h_{o.h_.object, nullptr} {
  if (h_.object) h_.object->AddRef();
}
Object::~Object() {
  if (h_.object) h_.object->Release();
  Release(h_.aux);
}

Object Object::Adopt(ObjectHolder* block) {
  Object o;
  if (block) {
    o.h_ = *block;
    Release(block);
  }
  return o;
}

VariantValue VariantValue::Adopt(Variant* block) {
  VariantValue v;
  if (block) {
    v.v_ = *block;
    Release(block);
  }
  return v;
}

namespace arg {
TypedArg Object(const ObjectHolder* holder) {
  TypedArg a;
  a.set_pointer(holder);
  a.tag = kTagObjectHolder;
  return a;
}
TypedArg VariantRef(const Variant* variant) {
  TypedArg a;
  a.set_pointer(variant);
  a.tag = kTagVariant;
  return a;
}
}  // namespace arg

// ---------------------------------------------------------------------------
// Holder commands

bool CreateObject(ObjectHolder& holder, std::string_view className, std::optional<std::string_view> typeLibrary) {
  // There are no type libraries to load here, so a given file changes
  // nothing: creation goes by the class name, as it does when the library
  // yields no object.
  (void)typeLibrary;
  Dispatch* created = CreateAutomationObject(GbkToUtf16(className));
  if (!created) {
    SetError(kAutoOtherFailure);
    return false;
  }
  ReleaseObject(holder);
  holder.object = created;
  SetError(kAutoOk);
  return true;
}

void ReleaseObject(ObjectHolder& holder) {
  if (holder.object) holder.object->Release();
  Release(holder.aux);
  holder = {};
  SetError(kAutoOk);
}

void AssignObject(ObjectHolder& destination, const ObjectHolder& source) {
  automation::Unknown* object = source.object;
  if (object) object->AddRef();
  destination.object = object;
  destination.aux = nullptr;
  SetError(kAutoOk);
}

bool IsObjectEmpty(const ObjectHolder& holder) {
  SetError(kAutoOk);
  return holder.object == nullptr;
}

// ---------------------------------------------------------------------------
// Member commands

Text GetTextProperty(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return TextOf(h, name, args, Access::kGet);
}
double GetNumberProperty(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  Variant v;
  return InvokeAs(h, name, args, Access::kGet, kVtR8, v) ? v.dblVal : 0.0;
}
bool GetBoolProperty(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return BoolOf(h, name, args, Access::kGet);
}
double GetDateProperty(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  Variant v;
  return InvokeAs(h, name, args, Access::kGet, kVtDate, v) ? v.date : 0.0;
}
Object GetObjectProperty(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return ObjectOf(h, name, args, Access::kGet);
}
VariantValue GetVariantProperty(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return VariantOf(h, name, args, Access::kGet);
}
bool SetObjectProperty(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  ScopedVariant ignored;
  return Invoke(h, name, args, Access::kPut, ignored.get()) == kAutoOk;
}
void CallObjectMethod(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  ScopedVariant ignored;
  Invoke(h, name, args, Access::kCall, ignored.get());
}
Text CallObjectMethodText(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return TextOf(h, name, args, Access::kCall);
}
bool CallObjectMethodBool(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return BoolOf(h, name, args, Access::kCall);
}
Object CallObjectMethodObject(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return ObjectOf(h, name, args, Access::kCall);
}
VariantValue CallObjectMethodVariant(const ObjectHolder& h, std::string_view name, MemberArgs args) {
  return VariantOf(h, name, args, Access::kCall);
}

// ---------------------------------------------------------------------------
// Variant commands

void ClearVariant(Variant& v) {
  VariantClear(v);
  std::memset(static_cast<void*>(&v), 0, sizeof v);
  SetError(kAutoOk);
}

bool SetVariant(Variant& v, const TypedArg& value, std::optional<std::int32_t> index) {
  Variant converted;
  if (int e = ToVariant(value, converted, true); e != kAutoOk) {
    SetError(e);
    return false;
  }
  ScopedVariant guard(converted);
  if (!index) {
    VariantClear(v);
    v = guard.release();
    return SetError(kAutoOk) == kAutoOk;
  }
  if ((v.vt & kVtByRef) || !(v.vt & kVtArray) || !v.parray) return SetError(kAutoOtherFailure) == kAutoOk;
  SafeArray* a = v.parray;
  if (!WellFormed(*a) || *index < 1 || static_cast<std::uint32_t>(*index) > a->count) return SetError(kAutoOtherFailure) == kAutoOk;
  char* e = static_cast<char*>(a->data) + static_cast<std::size_t>(*index - 1) * a->elementSize;
  if (a->elementType == kVtVariant) {
    VariantCopy(*reinterpret_cast<Variant*>(e), converted);
    return SetError(kAutoOk) == kAutoOk;
  }
  Variant element;
  if (Failed(VariantChangeType(element, converted, a->elementType))) return SetError(kAutoBadResult) == kAutoOk;
  // Give the old element's resources back before the slot is overwritten.
  Variant old;
  old.vt = a->elementType;
  std::memcpy(&old.llVal, e, a->elementSize);
  VariantClear(old);
  std::memcpy(e, &element.llVal, a->elementSize);
  return SetError(kAutoOk) == kAutoOk;
}

double VariantToNumber(const Variant& v, std::optional<std::int32_t> index) {
  ScopedVariant element;
  const Variant* source = &v;
  if (index) {
    if (!ArrayElement(v, *index, element.get())) {
      SetError(kAutoOtherFailure);
      return 0.0;
    }
    source = &element.get();
  }
  Variant r;
  if (Failed(VariantChangeType(r, *source, kVtR8))) {
    SetError(kAutoBadResult);
    return 0.0;
  }
  SetError(kAutoOk);
  return r.dblVal;
}

ByteSet VariantToByteSet(const Variant& v, std::optional<std::int32_t> index) {
  ScopedVariant element;
  Variant plain;
  if (index) {
    if (!ArrayElement(v, *index, element.get())) {
      SetError(kAutoOtherFailure);
      return ByteSet();
    }
    VariantCopyInd(plain, element.get());
  } else {
    VariantCopyInd(plain, v);
  }
  ScopedVariant guard(plain);
  // The array's own element type decides: a variant's tag may claim bytes.
  if (plain.vt != (kVtArray | kVtUi1) || !plain.parray || plain.parray->elementType != kVtUi1 ||
      !WellFormed(*plain.parray)) {
    SetError(kAutoBadResult);
    return ByteSet();
  }
  SetError(kAutoOk);
  return ByteSet(plain.parray->data, plain.parray->count);
}

// ---------------------------------------------------------------------------

namespace cmd {
namespace {

std::optional<std::string_view> OptText(int argc, const TypedArg* args, int i) {
  if (!ArgAt(argc, args, i)) return std::nullopt;
  return ArgText(argc, args, i);
}

}  // namespace

const Command kCreateObject{"CreateObject", [](ResultRecord& r, int argc, const TypedArg* args) {
  ObjectHolder* h = HolderVariable(argc, args, 0);
  if (!h) {
    SetError(kAutoOtherFailure);
    ReturnBool(r, false);
    return;
  }
  ReturnBool(r, CreateObject(*h, ArgText(argc, args, 1), OptText(argc, args, 2)));
}};
const Command kReleaseObject{"ReleaseObject", [](ResultRecord&, int argc, const TypedArg* args) {
  if (ObjectHolder* h = HolderVariable(argc, args, 0)) ReleaseObject(*h);
}};
const Command kAssignObject{"AssignObject", [](ResultRecord&, int argc, const TypedArg* args) {
  if (ObjectHolder* h = HolderVariable(argc, args, 0)) AssignObject(*h, *HolderAt(argc, args, 1));
}};
const Command kIsObjectEmpty{"IsObjectEmpty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, IsObjectEmpty(*HolderAt(argc, args, 0)));
}};
const Command kGetTextProperty{"GetTextProperty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnText(r, GetTextProperty(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kGetNumberProperty{"GetNumberProperty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnDouble(r, GetNumberProperty(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kGetBoolProperty{"GetBoolProperty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, GetBoolProperty(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kGetDateProperty{"GetDateProperty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnDateTime(r, GetDateProperty(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kGetObjectProperty{"GetObjectProperty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnObject(r, GetObjectProperty(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kGetVariantProperty{"GetVariantProperty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnVariant(r, GetVariantProperty(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kSetObjectProperty{"SetObjectProperty", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, SetObjectProperty(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kCallObjectMethod{"CallObjectMethod", [](ResultRecord&, int argc, const TypedArg* args) {
  CallObjectMethod(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args));
}};
const Command kCallObjectMethodText{"CallObjectMethodText", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnText(r, CallObjectMethodText(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kCallObjectMethodBool{"CallObjectMethodBool", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, CallObjectMethodBool(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kCallObjectMethodObject{"CallObjectMethodObject", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnObject(r, CallObjectMethodObject(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kCallObjectMethodVariant{"CallObjectMethodVariant", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnVariant(r, CallObjectMethodVariant(*HolderAt(argc, args, 0), ArgText(argc, args, 1), Rest(argc, args)));
}};
const Command kClearVariant{"ClearVariant", [](ResultRecord&, int argc, const TypedArg* args) {
  if (Variant* v = VariantAt(argc, args, 0)) ClearVariant(*v);
}};
const Command kSetVariant{"SetVariant", [](ResultRecord& r, int argc, const TypedArg* args) {
  Variant* v = VariantAt(argc, args, 0);
  const TypedArg* value = ArgAt(argc, args, 1);
  if (!v || !value) {
    SetError(kAutoOtherFailure);
    ReturnBool(r, false);
    return;
  }
  ReturnBool(r, SetVariant(*v, *value, ArgInt(argc, args, 2)));
}};
const Command kVariantToNumber{"VariantToNumber", [](ResultRecord& r, int argc, const TypedArg* args) {
  const Variant* v = VariantAt(argc, args, 0);
  ReturnDouble(r, v ? VariantToNumber(*v, ArgInt(argc, args, 1)) : (SetError(kAutoOtherFailure), 0.0));
}};
const Command kVariantToByteSet{"VariantToByteSet", [](ResultRecord& r, int argc, const TypedArg* args) {
  const Variant* v = VariantAt(argc, args, 0);
  ReturnByteSet(r, v ? VariantToByteSet(*v, ArgInt(argc, args, 1)) : (SetError(kAutoOtherFailure), ByteSet()));
}};

}  // namespace cmd
}  // namespace tl::rt
