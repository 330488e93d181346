// Building blocks of the in-process automation classes (the object system
// Linux lacks): a dispatch base with a static member table, argument readers,
// and a generic collection with Count, Item and _NewEnum.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/automation/object_model.h"
#include "runtime/automation/variant.h"

namespace tl::rt::automation {

// Arguments in call order (a put's value last). An omitted argument is a
// VT_ERROR DISP_E_PARAMNOTFOUND value or lies past the end.
class CallArgs {
 public:
  explicit CallArgs(std::span<Variant*> args) : args_(args) {}
  std::size_t size() const { return args_.size(); }
  bool Given(std::size_t i) const;
  // The value (references followed) converted to the wanted kind; failures
  // are the conversion's code.
  HResult Text(std::size_t i, std::u16string& out) const;
  HResult Int(std::size_t i, std::int32_t& out) const;
  HResult Bool(std::size_t i, bool& out) const;
  HResult Number(std::size_t i, double& out) const;
  // With defaults for an omitted argument.
  HResult Int(std::size_t i, std::int32_t& out, std::int32_t fallback) const;
  HResult Bool(std::size_t i, bool& out, bool fallback) const;
  // The variant itself (possibly VT_BYREF), for members that write back.
  Variant& Raw(std::size_t i) const { return *args_[i]; }

 private:
  std::span<Variant*> args_;
};

class InProcessObject : public RefCounted<Dispatch> {
 public:
  Dispatch* QueryDispatch() override {
    AddRef();
    return this;
  }
  HResult Bind(std::u16string_view name, InvokeKind kind, const MemberDesc** member) override;
  HResult Invoke(DispId id, InvokeKind kind, DispParams& params, Variant* result) override;

 protected:
  virtual std::span<const MemberDesc> Members() const = 0;
  // Called after the argument count was checked against the member's table
  // entry; `result` is never null.
  virtual HResult Call(const MemberDesc& member, const CallArgs& args, Variant& result) = 0;
};

// Items with an optional name each: Count, Item(index or name), _NewEnum.
// Numeric Item indexes start at `firstIndex`; names compare without regard
// to ASCII case.
class ItemCollection final : public InProcessObject {
 public:
  explicit ItemCollection(int firstIndex = 0) : firstIndex_(firstIndex) {}
  void Add(Dispatch* item, std::u16string key = {});  // takes one more reference
  std::size_t Count() const { return items_.size(); }

 protected:
  ~ItemCollection() override;
  std::span<const MemberDesc> Members() const override;
  HResult Call(const MemberDesc& member, const CallArgs& args, Variant& result) override;

 private:
  std::vector<Dispatch*> items_;
  std::vector<std::u16string> keys_;
  int firstIndex_;
};

// An enumerator over a snapshot of variants.
class VariantListEnum final : public RefCounted<EnumVariant> {
 public:
  explicit VariantListEnum(std::vector<Variant> items) : items_(std::move(items)) {}
  EnumVariant* QueryEnumVariant() override {
    AddRef();
    return this;
  }
  HResult Next(std::uint32_t count, Variant* items, std::uint32_t* fetched) override;
  HResult Skip(std::uint32_t count) override;
  HResult Reset() override {
    pos_ = 0;
    return kOk;
  }
  HResult Clone(EnumVariant** copy) override;

 protected:
  ~VariantListEnum() override;

 private:
  std::vector<Variant> items_;
  std::size_t pos_ = 0;
};

// Table helpers.
inline constexpr ParamDesc kParamVariant{};
inline constexpr ParamDesc kParamOptional{kVtVariant, false, true};

}  // namespace tl::rt::automation
