#include "runtime/automation/inprocess/inprocess.h"

#include "runtime/automation/wide_text.h"

namespace tl::rt::automation {

// ---------------------------------------------------------------------------
// CallArgs

bool CallArgs::Given(std::size_t i) const {
  if (i >= args_.size()) return false;
  const Variant& v = *args_[i];
  return !(v.vt == kVtError && v.scode == kDispParamNotFound);
}

HResult CallArgs::Text(std::size_t i, std::u16string& out) const {
  if (!Given(i)) return kDispParamNotOptional;
  ScopedVariant v;
  HResult hr = VariantChangeType(v.get(), *args_[i], kVtBstr);
  if (Failed(hr)) return hr;
  out.assign(BstrView(v->bstrVal));
  return kOk;
}

HResult CallArgs::Int(std::size_t i, std::int32_t& out) const {
  if (!Given(i)) return kDispParamNotOptional;
  Variant v;
  HResult hr = VariantChangeType(v, *args_[i], kVtI4);
  if (!Failed(hr)) out = v.lVal;
  return hr;
}

HResult CallArgs::Bool(std::size_t i, bool& out) const {
  if (!Given(i)) return kDispParamNotOptional;
  Variant v;
  HResult hr = VariantChangeType(v, *args_[i], kVtBool);
  if (!Failed(hr)) out = v.boolVal != 0;
  return hr;
}

HResult CallArgs::Number(std::size_t i, double& out) const {
  if (!Given(i)) return kDispParamNotOptional;
  Variant v;
  HResult hr = VariantChangeType(v, *args_[i], kVtR8);
  if (!Failed(hr)) out = v.dblVal;
  return hr;
}

HResult CallArgs::Int(std::size_t i, std::int32_t& out, std::int32_t fallback) const {
  if (!Given(i)) {
    out = fallback;
    return kOk;
  }
  return Int(i, out);
}

HResult CallArgs::Bool(std::size_t i, bool& out, bool fallback) const {
  if (!Given(i)) {
    out = fallback;
    return kOk;
  }
  return Bool(i, out);
}

// ---------------------------------------------------------------------------
// InProcessObject

HResult InProcessObject::Bind(std::u16string_view name, InvokeKind kind, const MemberDesc** member) {
  for (const MemberDesc& m : Members()) {
    if (m.kind == kind && EqualsNoCase(m.name, name)) {
      *member = &m;
      return kOk;
    }
  }
  *member = nullptr;
  return kDispUnknownName;
}

HResult InProcessObject::Invoke(DispId id, InvokeKind kind, DispParams& params, Variant* result) {
  const MemberDesc* member = nullptr;
  for (const MemberDesc& m : Members()) {
    // A get may reach a method of the same id, as the component system allows.
    if (m.id == id && (m.kind == kind || (kind == kInvokePropertyGet && m.kind == kInvokeMethod))) {
      member = &m;
      break;
    }
  }
  if (!member) return kDispMemberNotFound;
  if ((params.count && !params.args) || (params.namedCount && !params.namedIds)) return kInvalidArg;
  const bool put = kind == kInvokePropertyPut || kind == kInvokePropertyPutRef;
  if (put && (params.namedCount != 1 || params.namedIds[0] != kDispIdPropertyPut)) return kDispParamNotFound;
  if (!put && params.namedCount != 0) return kDispNoNamedArgs;

  // Back to call order: the component system passes the last argument first.
  std::vector<Variant*> ordered(params.count);
  for (std::uint32_t i = 0; i < params.count; ++i) ordered[i] = &params.args[params.count - 1 - i];
  if (ordered.size() > member->params.size() && !member->varArgs) return kDispBadParamCount;
  for (std::size_t i = 0; i < member->params.size(); ++i) {
    const bool given = i < ordered.size() &&
                       !(ordered[i]->vt == kVtError && ordered[i]->scode == kDispParamNotFound);
    if (!given && !member->params[i].optional) {
      return i < ordered.size() ? kDispParamNotOptional : kDispBadParamCount;
    }
  }
  Variant scratch;
  Variant& out = result ? *result : scratch;
  VariantClear(out);
  const HResult hr = Call(*member, CallArgs(ordered), out);
  if (!result) VariantClear(scratch);
  if (Failed(hr)) VariantClear(out);
  return hr;
}

// ---------------------------------------------------------------------------
// ItemCollection

namespace {
constexpr ParamDesc kItemParams[] = {kParamVariant};
constexpr DispId kIdCount = 1;
constexpr MemberDesc kCollectionMembers[] = {
    {u"Count", kIdCount, kInvokePropertyGet, {}, false, kVtI4},
    {u"Item", kDispIdValue, kInvokePropertyGet, kItemParams, false, kVtDispatch},
    {u"_NewEnum", kDispIdNewEnum, kInvokePropertyGet, {}, false, kVtUnknown},
};
}  // namespace

ItemCollection::~ItemCollection() {
  for (Dispatch* d : items_) d->Release();
}

void ItemCollection::Add(Dispatch* item, std::u16string key) {
  item->AddRef();
  items_.push_back(item);
  keys_.push_back(std::move(key));
}

std::span<const MemberDesc> ItemCollection::Members() const { return kCollectionMembers; }

HResult ItemCollection::Call(const MemberDesc& member, const CallArgs& args, Variant& result) {
  switch (member.id) {
    case kIdCount: result = MakeI4(static_cast<std::int32_t>(items_.size())); return kOk;
    case kDispIdNewEnum: {
      std::vector<Variant> snapshot;
      snapshot.reserve(items_.size());
      for (Dispatch* d : items_) snapshot.push_back(MakeDispatch(d));
      auto* e = new VariantListEnum(std::move(snapshot));
      result.vt = kVtUnknown;
      result.punkVal = e;  // adopts the new reference
      return kOk;
    }
    case kDispIdValue: {
      Variant key;
      VariantCopyInd(key, args.Raw(0));
      ScopedVariant guard(key);
      if (key.vt == kVtBstr) {
        for (std::size_t i = 0; i < keys_.size(); ++i) {
          if (!keys_[i].empty() && EqualsNoCase(keys_[i], BstrView(key.bstrVal))) {
            result = MakeDispatch(items_[i]);
            return kOk;
          }
        }
        return kDispException;
      }
      std::int32_t index = 0;
      if (HResult hr = args.Int(0, index); Failed(hr)) return hr;
      const std::int64_t at = static_cast<std::int64_t>(index) - firstIndex_;
      if (at < 0 || at >= static_cast<std::int64_t>(items_.size())) return kDispException;
      result = MakeDispatch(items_[static_cast<std::size_t>(at)]);
      return kOk;
    }
    default: return kDispMemberNotFound;
  }
}

// ---------------------------------------------------------------------------
// VariantListEnum

VariantListEnum::~VariantListEnum() {
  for (Variant& v : items_) VariantClear(v);
}

HResult VariantListEnum::Next(std::uint32_t count, Variant* items, std::uint32_t* fetched) {
  std::uint32_t n = 0;
  while (n < count && pos_ < items_.size()) {
    items[n] = Variant();
    VariantCopy(items[n], items_[pos_++]);
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? kOk : kFalse;
}

HResult VariantListEnum::Skip(std::uint32_t count) {
  const std::size_t left = items_.size() - pos_;
  pos_ += count < left ? count : left;
  return count <= left ? kOk : kFalse;
}

HResult VariantListEnum::Clone(EnumVariant** copy) {
  std::vector<Variant> items(items_.size());
  for (std::size_t i = 0; i < items_.size(); ++i) VariantCopy(items[i], items_[i]);
  auto* c = new VariantListEnum(std::move(items));
  c->pos_ = pos_;
  *copy = c;
  return kOk;
}

}  // namespace tl::rt::automation
