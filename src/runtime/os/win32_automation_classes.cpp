// Automation objects on Windows: the system's component objects, created by
// ProgID (or class id in braces) through CoCreateInstance and adapted one to
// one to the object model (IDispatch -> Dispatch, IEnumVARIANT ->
// EnumVariant). Members are bound through the object's type information.
// Classes registered at run time (tests) come first.
#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/automation/wide_text.h"
#include "runtime/os/automation_classes.h"

namespace tl::rt::automation {

// The object model's variant has the system's type numbers and keeps its
// value where the system does; the system's is larger on 64-bit (records),
// so values are copied field by field, never as a whole.
static_assert(offsetof(Variant, llVal) == offsetof(VARIANT, llVal));

namespace {

// Once per thread: the objects live in the apartment of the thread that
// made them. An apartment already set up differently is used as it is.
bool EnsureCom() {
  thread_local const bool ok = [] {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
  }();
  return ok;
}

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HResult ToCom(const Variant& from, VARIANT& to);
HResult FromCom(const VARIANT& from, Variant& to);

class ComEnum final : public RefCounted<EnumVariant> {
 public:
  explicit ComEnum(IEnumVARIANT* e) : e_(e) {}
  ~ComEnum() override { e_->Release(); }
  Dispatch* QueryDispatch() override { return nullptr; }
  EnumVariant* QueryEnumVariant() override {
    AddRef();
    return this;
  }
  HResult Next(std::uint32_t count, Variant* items, std::uint32_t* fetched) override {
    std::vector<VARIANT> raw(count);
    for (VARIANT& v : raw) VariantInit(&v);
    ULONG got = 0;
    const HRESULT hr = e_->Next(count, raw.data(), &got);
    if (FAILED(hr)) return hr;
    HResult result = hr;
    for (ULONG i = 0; i < got; ++i) {
      const HResult c = FromCom(raw[i], items[i]);
      if (Failed(c)) result = c;
      ::VariantClear(&raw[i]);
    }
    if (fetched) *fetched = got;
    return result;
  }
  HResult Skip(std::uint32_t count) override { return e_->Skip(count); }
  HResult Reset() override { return e_->Reset(); }
  HResult Clone(EnumVariant** copy) override {
    IEnumVARIANT* c = nullptr;
    const HRESULT hr = e_->Clone(&c);
    if (FAILED(hr)) return hr;
    *copy = new ComEnum(c);
    return kOk;
  }

 private:
  IEnumVARIANT* e_;
};

class ComDispatch final : public RefCounted<Dispatch> {
 public:
  explicit ComDispatch(IDispatch* d) : d_(d) {}
  ~ComDispatch() override { d_->Release(); }
  IDispatch* raw() const { return d_; }

  Dispatch* QueryDispatch() override {
    AddRef();
    return this;
  }
  EnumVariant* QueryEnumVariant() override {
    IEnumVARIANT* e = nullptr;
    if (FAILED(d_->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e))) || !e) return nullptr;
    return new ComEnum(e);
  }

  HResult Bind(std::u16string_view name, InvokeKind kind, const MemberDesc** member) override {
    *member = nullptr;
    std::u16string n(name);
    LPOLESTR names[1] = {const_cast<LPOLESTR>(Wide(n))};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(d_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return kDispUnknownName;
    for (const auto& m : members_)
      if (m->desc.id == id && m->desc.kind == kind) {
        *member = &m->desc;
        return kOk;
      }
    ITypeInfo* info = nullptr;
    UINT count = 0;
    std::unique_ptr<Member> found;
    if (SUCCEEDED(d_->GetTypeInfoCount(&count)) && count > 0 &&
        SUCCEEDED(d_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) && info) {
      found = Describe(info, id, kind);
      info->Release();
      if (!found) return kDispMemberNotFound;
    } else {
      // The name is known but its kind and parameters are not (wine's match
      // collections and matches give no type information): the first kind
      // asked binds, with any arguments taken as given, and a get or call
      // leaves the choice between property and method to the object, as a
      // scripting engine's late binding does.
      found = std::make_unique<Member>();
      found->desc.id = id;
      found->desc.kind = kind;
      found->desc.varArgs = true;
      found->desc.result = kVtVariant;
      found->untyped = true;
    }
    found->name = std::move(n);
    found->desc.name = found->name;
    members_.push_back(std::move(found));
    *member = &members_.back()->desc;
    return kOk;
  }

  HResult Invoke(DispId id, InvokeKind kind, DispParams& params, Variant* result) override {
    const std::uint32_t n = params.count;
    std::vector<VARIANT> args(n), cells(n);
    for (std::uint32_t i = 0; i < n; ++i) {
      VariantInit(&args[i]);
      VariantInit(&cells[i]);
    }
    struct Cleanup {
      std::vector<VARIANT>& a;
      std::vector<VARIANT>& c;
      ~Cleanup() {
        for (VARIANT& v : a)
          if (!(v.vt & VT_BYREF)) ::VariantClear(&v);
        for (VARIANT& v : c) ::VariantClear(&v);
      }
    } cleanup{args, cells};
    // By-reference arguments point into the caller's cells; the object gets
    // a system variant of its own, copied back after the call.
    for (std::uint32_t i = 0; i < n; ++i) {
      const Variant& a = params.args[i];
      if (a.vt & kVtByRef) {
        Variant* cell = (a.vt & kVtTypeMask) == kVtVariant && !(a.vt & kVtArray)
                            ? static_cast<Variant*>(a.byref)
                            : reinterpret_cast<Variant*>(static_cast<char*>(a.byref) - offsetof(Variant, llVal));
        if (HResult hr = ToCom(*cell, cells[i]); Failed(hr)) return hr;
        if ((a.vt & kVtTypeMask) == kVtVariant && !(a.vt & kVtArray)) {
          args[i].vt = VT_BYREF | VT_VARIANT;
          args[i].pvarVal = &cells[i];
        } else {
          args[i].vt = a.vt;
          args[i].byref = &cells[i].llVal;
        }
      } else if (HResult hr = ToCom(a, args[i]); Failed(hr)) {
        return hr;
      }
    }
    std::vector<DISPID> named(params.namedIds, params.namedIds + params.namedCount);
    DISPPARAMS dp{n ? args.data() : nullptr, named.empty() ? nullptr : named.data(), n, params.namedCount};
    VARIANT res;
    VariantInit(&res);
    EXCEPINFO ex{};
    UINT argError = 0;
    WORD flags = static_cast<WORD>(kind);
    for (const auto& m : members_)
      if (m->untyped && m->desc.id == id && m->desc.kind == kind && (kind == kInvokeMethod || kind == kInvokePropertyGet))
        flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    HRESULT hr = d_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp,
                            result ? &res : nullptr, &ex, &argError);
    if (hr == DISP_E_EXCEPTION) {
      if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
      SysFreeString(ex.bstrSource);
      SysFreeString(ex.bstrDescription);
      SysFreeString(ex.bstrHelpFile);
      // Stays DISP_E_EXCEPTION: the caller's error table has a code of its
      // own for "the member raised an exception", whatever the object's.
    }
    if (FAILED(hr)) {
      ::VariantClear(&res);
      return hr;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
      const Variant& a = params.args[i];
      if (!(a.vt & kVtByRef)) continue;
      Variant* cell = (a.vt & kVtTypeMask) == kVtVariant && !(a.vt & kVtArray)
                          ? static_cast<Variant*>(a.byref)
                          : reinterpret_cast<Variant*>(static_cast<char*>(a.byref) - offsetof(Variant, llVal));
      Variant back;
      if (Succeeded(FromCom(cells[i], back))) {
        automation::VariantClear(*cell);
        *cell = back;
      }
    }
    HResult r = kOk;
    if (result) {
      r = FromCom(res, *result);
      ::VariantClear(&res);
    }
    return r;
  }

 private:
  struct Member {
    std::u16string name;
    std::vector<ParamDesc> params;
    MemberDesc desc;
    bool untyped = false;  // bound without type information
  };

  static bool Succeeded(HResult h) { return h >= 0; }

  static void TypeOf(const TYPEDESC& t, ParamDesc& p) {
    const TYPEDESC* d = &t;
    if (d->vt == VT_PTR && d->lptdesc) {
      p.byRef = true;
      d = d->lptdesc;
    }
    const VARTYPE vt = d->vt;
    if (vt == VT_USERDEFINED || vt == VT_PTR || vt == VT_SAFEARRAY || vt == VT_CARRAY)
      p.type = kVtVariant;
    else if (vt == VT_INT)
      p.type = kVtI4;
    else if (vt == VT_UINT)
      p.type = kVtUi4;
    else
      p.type = vt;
  }

  static std::unique_ptr<Member> Describe(ITypeInfo* info, DISPID id, InvokeKind kind) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return nullptr;
    std::unique_ptr<Member> m;
    for (UINT i = 0; i < attr->cFuncs && !m; ++i) {
      FUNCDESC* f = nullptr;
      if (FAILED(info->GetFuncDesc(i, &f))) continue;
      if (f->memid == id && static_cast<InvokeKind>(f->invkind) == kind) {
        m = std::make_unique<Member>();
        for (SHORT p = 0; p < f->cParams; ++p) {
          const ELEMDESC& e = f->lprgelemdescParam[p];
          if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
          ParamDesc d;
          TypeOf(e.tdesc, d);
          d.optional = (e.paramdesc.wParamFlags & PARAMFLAG_FOPT) || (f->cParamsOpt > 0 && p >= f->cParams - f->cParamsOpt);
          m->params.push_back(d);
        }
        m->desc.varArgs = f->cParamsOpt == -1;
        ParamDesc r;
        TypeOf(f->elemdescFunc.tdesc, r);
        const VARTYPE rt = f->elemdescFunc.tdesc.vt;
        m->desc.result = rt == VT_VOID || rt == VT_HRESULT ? VarType{kVtEmpty} : r.type;
      }
      info->ReleaseFuncDesc(f);
    }
    // Properties declared as variables of a dispatch interface.
    for (UINT i = 0; i < attr->cVars && !m; ++i) {
      VARDESC* v = nullptr;
      if (FAILED(info->GetVarDesc(i, &v))) continue;
      if (v->memid == id && (kind == kInvokePropertyGet || kind == kInvokePropertyPut)) {
        m = std::make_unique<Member>();
        ParamDesc d;
        TypeOf(v->elemdescVar.tdesc, d);
        d.byRef = false;
        if (kind == kInvokePropertyPut) m->params.push_back(d);
        m->desc.result = kind == kInvokePropertyGet ? d.type : VarType{kVtEmpty};
      }
      info->ReleaseVarDesc(v);
    }
    info->ReleaseTypeAttr(attr);
    if (m) {
      m->desc.id = id;
      m->desc.kind = kind;
      m->desc.params = m->params;
    }
    return m;
  }

  IDispatch* d_;
  std::vector<std::unique_ptr<Member>> members_;
};

// An interface that is not (yet) known to be a dispatch interface: a
// collection's enumerator comes this way.
class ComUnknown final : public RefCounted<Unknown> {
 public:
  explicit ComUnknown(IUnknown* u) : u_(u) {}
  ~ComUnknown() override { u_->Release(); }
  IUnknown* raw() const { return u_; }
  Dispatch* QueryDispatch() override {
    IDispatch* d = nullptr;
    if (FAILED(u_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))) || !d) return nullptr;
    return new ComDispatch(d);
  }
  EnumVariant* QueryEnumVariant() override {
    IEnumVARIANT* e = nullptr;
    if (FAILED(u_->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e))) || !e) return nullptr;
    return new ComEnum(e);
  }

 private:
  IUnknown* u_;
};

// Only objects that came from the system can go back to it.
IUnknown* SystemInterfaceOf(Unknown* u) {
  if (auto* d = dynamic_cast<ComDispatch*>(u)) return d->raw();
  if (auto* c = dynamic_cast<ComUnknown*>(u)) return c->raw();
  return nullptr;
}

HResult ToCom(const Variant& from, VARIANT& to) {
  VariantInit(&to);
  const VarType base = from.vt & kVtTypeMask;
  if (from.vt & kVtByRef) {
    // A reference the member was not declared to take: its value goes over.
    if (!from.byref) return kDispBadVarType;
    if (from.vt == (kVtByRef | kVtVariant)) return ToCom(*static_cast<const Variant*>(from.byref), to);
    Variant value;
    value.vt = static_cast<VarType>(from.vt & ~kVtByRef);
    const std::uint32_t size = (value.vt & kVtArray) ? sizeof(SafeArray*) : ElementSizeOf(value.vt);
    if (size == 0 || size > sizeof value.llVal) return kDispBadVarType;
    std::memcpy(&value.llVal, from.byref, size);
    return ToCom(value, to);  // copies what it points at; `value` owns nothing
  }
  if (from.vt & kVtArray) {
    const SafeArray* a = from.parray;
    if (!a) {
      to.vt = from.vt;
      to.parray = nullptr;
      return kOk;
    }
    SAFEARRAY* s = SafeArrayCreateVector(base, a->lowerBound, a->count);
    if (!s) return kOutOfMemory;
    for (std::uint32_t i = 0; i < a->count; ++i) {
      LONG index = a->lowerBound + static_cast<LONG>(i);
      const char* element = static_cast<const char*>(a->data) + static_cast<std::size_t>(i) * a->elementSize;
      HRESULT hr = S_OK;
      if (base == kVtVariant) {
        VARIANT v;
        if (HResult c = ToCom(*reinterpret_cast<const Variant*>(element), v); Failed(c)) hr = c;
        else {
          hr = SafeArrayPutElement(s, &index, &v);
          ::VariantClear(&v);
        }
      } else if (base == kVtBstr) {
        const char16_t* text = *reinterpret_cast<char16_t* const*>(element);
        std::u16string copy(BstrView(text));
        BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(copy.data()), static_cast<UINT>(copy.size()));
        hr = SafeArrayPutElement(s, &index, b);
        SysFreeString(b);
      } else if (base == kVtDispatch || base == kVtUnknown) {
        hr = DISP_E_TYPEMISMATCH;
      } else {
        hr = SafeArrayPutElement(s, &index, const_cast<char*>(element));
      }
      if (FAILED(hr)) {
        SafeArrayDestroy(s);
        return hr;
      }
    }
    to.vt = from.vt;
    to.parray = s;
    return kOk;
  }
  switch (base) {
    case kVtBstr: {
      const std::u16string_view text = BstrView(from.bstrVal);
      to.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
      if (!to.bstrVal) return kOutOfMemory;
      to.vt = VT_BSTR;
      return kOk;
    }
    case kVtDispatch:
    case kVtUnknown: {
      if (!from.punkVal) {
        to.vt = base;
        to.punkVal = nullptr;
        return kOk;
      }
      IUnknown* raw = SystemInterfaceOf(from.punkVal);
      if (!raw) return kDispTypeMismatch;
      raw->AddRef();
      to.vt = base;
      to.punkVal = raw;
      return kOk;
    }
    default:
      // Scalars: the same type numbers and eight value bytes on both sides.
      to.vt = from.vt;
      to.llVal = from.llVal;
      return kOk;
  }
}

HResult FromCom(const VARIANT& in, Variant& to) {
  to = Variant();
  VARIANT direct;
  VariantInit(&direct);
  const VARIANT* from = &in;
  if (in.vt & VT_BYREF) {
    if (FAILED(::VariantCopyInd(&direct, const_cast<VARIANT*>(&in)))) return kDispBadVarType;
    from = &direct;
  }
  struct Clear {
    VARIANT& v;
    ~Clear() { ::VariantClear(&v); }
  } clear{direct};
  const VarType base = from->vt & VT_TYPEMASK;
  if (from->vt & VT_ARRAY) {
    SAFEARRAY* s = from->parray;
    if (!s) {
      to.vt = from->vt;
      to.parray = nullptr;
      return kOk;
    }
    if (SafeArrayGetDim(s) != 1) return kDispBadVarType;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(s, 1, &lo);
    SafeArrayGetUBound(s, 1, &hi);
    const std::uint32_t count = hi >= lo ? static_cast<std::uint32_t>(hi - lo + 1) : 0;
    SafeArray* a = CreateSafeArray(base, count, lo);
    if (!a) return kOutOfMemory;
    for (std::uint32_t i = 0; i < count; ++i) {
      LONG index = lo + static_cast<LONG>(i);
      char* element = static_cast<char*>(a->data) + static_cast<std::size_t>(i) * a->elementSize;
      if (base == VT_VARIANT) {
        VARIANT v;
        VariantInit(&v);
        SafeArrayGetElement(s, &index, &v);
        FromCom(v, *reinterpret_cast<Variant*>(element));
        ::VariantClear(&v);
      } else if (base == VT_BSTR) {
        BSTR b = nullptr;
        SafeArrayGetElement(s, &index, &b);
        *reinterpret_cast<Bstr*>(element) =
            AllocBstr(std::u16string_view(reinterpret_cast<const char16_t*>(b), b ? SysStringLen(b) : 0));
        SysFreeString(b);
      } else if (base == VT_DISPATCH || base == VT_UNKNOWN) {
        IUnknown* u = nullptr;
        SafeArrayGetElement(s, &index, &u);
        Unknown* w = nullptr;
        if (u) w = base == VT_DISPATCH ? static_cast<Unknown*>(new ComDispatch(static_cast<IDispatch*>(u)))
                                       : static_cast<Unknown*>(new ComUnknown(u));
        *reinterpret_cast<Unknown**>(element) = w;
      } else {
        SafeArrayGetElement(s, &index, element);
      }
    }
    to.vt = static_cast<VarType>(kVtArray | base);
    to.parray = a;
    return kOk;
  }
  switch (base) {
    case VT_BSTR:
      to.vt = kVtBstr;
      to.bstrVal = AllocBstr(std::u16string_view(reinterpret_cast<const char16_t*>(from->bstrVal),
                                                 from->bstrVal ? SysStringLen(from->bstrVal) : 0));
      return kOk;
    case VT_DISPATCH:
      to.vt = kVtDispatch;
      if (from->pdispVal) {
        from->pdispVal->AddRef();
        to.pdispVal = new ComDispatch(from->pdispVal);
      }
      return kOk;
    case VT_UNKNOWN:
      to.vt = kVtUnknown;
      if (from->punkVal) {
        from->punkVal->AddRef();
        to.punkVal = new ComUnknown(from->punkVal);
      }
      return kOk;
    case VT_VARIANT:
    case VT_RECORD:
      return kDispBadVarType;
    default:
      to.vt = from->vt;
      to.llVal = from->llVal;
      return kOk;
  }
}

struct ClassEntry {
  std::u16string progId;
  ClassFactory factory;
};

std::vector<ClassEntry>& Registered() {
  static std::vector<ClassEntry> classes;
  return classes;
}

}  // namespace

Dispatch* CreateAutomationObject(std::u16string_view name) {
  if (name.empty()) return nullptr;
  for (const ClassEntry& c : Registered())
    if (EqualsNoCase(c.progId, name)) return c.factory();
  if (!EnsureCom()) return nullptr;
  const std::u16string n(name);
  CLSID clsid{};
  const HRESULT found = name.front() == u'{' ? CLSIDFromString(Wide(n), &clsid) : CLSIDFromProgID(Wide(n), &clsid);
  if (FAILED(found)) return nullptr;
  IDispatch* d = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&d))) ||
      !d)
    return nullptr;
  return new ComDispatch(d);
}

bool RegisterAutomationClass(std::u16string_view progId, ClassFactory factory) {
  if (progId.empty() || !factory) return false;
  for (ClassEntry& c : Registered()) {
    if (EqualsNoCase(c.progId, progId)) {
      c.factory = factory;
      return true;
    }
  }
  Registered().push_back({std::u16string(progId), factory});
  return true;
}

Dispatch* CreateRegExpObject() { return CreateAutomationObject(u"VBScript.RegExp"); }
Dispatch* CreateFileSystemObject() { return CreateAutomationObject(u"Scripting.FileSystemObject"); }

}  // namespace tl::rt::automation
