// Every get, put and call command through the frame against test classes
// that count their live instances, so each error code, each empty result
// and each reference the commands take or give back is checked.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/os/automation_classes.h"
#include "runtime/automation/commands.h"
#include "runtime/automation/inprocess/inprocess.h"
#include "runtime/automation/wide_text.h"
#include "support/gbk.h"

namespace tl {
namespace {

using namespace rt;
using namespace rt::automation;
using test::Gbk;

int g_live = 0;  // instances of the counted classes alive
std::vector<std::vector<Variant>> g_calls;  // what Record was given, call by call

enum : DispId { kFailId = 1, kNumberId, kTextId, kFlagId, kWhenId, kSelfId, kNothingId, kValueId, kSmallId,
                kManyId, kKeepId, kSwapId, kEchoId, kPairId, kRecordId, kBumpId, kSuffixId };
constexpr ParamDesc kCode[] = {{kVtI4, false, false}};
constexpr ParamDesc kInt[] = {{kVtI4, false, false}};
constexpr ParamDesc kByte[] = {{kVtUi1, false, false}};
constexpr ParamDesc kTwoText[] = {{kVtBstr, false, false}, {kVtBstr, false, false}};
constexpr ParamDesc kObject[] = {{kVtDispatch, false, false}};
constexpr ParamDesc kRefVariant[] = {{kVtVariant, true, false}};
constexpr ParamDesc kText[] = {{kVtBstr, false, false}};
constexpr ParamDesc kRecordParams[] = {{kVtVariant, false, false}, {kVtVariant, false, true}, {kVtVariant, false, true}};
constexpr ParamDesc kRefInt[] = {{kVtI4, true, false}};
constexpr ParamDesc kRefText[] = {{kVtBstr, true, false}};
constexpr MemberDesc kCountedMembers[] = {
    {u"Fail", kFailId, kInvokeMethod, kCode, false, kVtEmpty},
    {u"Number", kNumberId, kInvokePropertyGet, {}, false, kVtR8},
    {u"Text", kTextId, kInvokePropertyGet, {}, false, kVtBstr},
    {u"Flag", kFlagId, kInvokePropertyGet, {}, false, kVtBool},
    {u"When", kWhenId, kInvokePropertyGet, {}, false, kVtDate},
    {u"Self", kSelfId, kInvokePropertyGet, {}, false, kVtDispatch},
    {u"Nothing", kNothingId, kInvokePropertyGet, {}, false, kVtDispatch},
    {u"Value", kValueId, kInvokePropertyGet, {}, false, kVtI4},
    {u"Value", kValueId, kInvokePropertyPut, kInt, false, kVtEmpty},
    {u"Small", kSmallId, kInvokeMethod, kByte, false, kVtEmpty},
    {u"Many", kManyId, kInvokeMethod, {}, true, kVtI4},
    {u"Keep", kKeepId, kInvokeMethod, kObject, false, kVtEmpty},
    {u"Swap", kSwapId, kInvokeMethod, kRefVariant, false, kVtEmpty},
    {u"Echo", kEchoId, kInvokeMethod, kText, false, kVtBstr},
    {u"Pair", kPairId, kInvokeMethod, kTwoText, false, kVtBstr},
    // Record(a, [b], [c]) keeps copies of the variants it was given.
    {u"Record", kRecordId, kInvokeMethod, kRecordParams, false, kVtI4},
    {u"Bump", kBumpId, kInvokeMethod, kRefInt, false, kVtEmpty},        // adds one
    {u"Suffix", kSuffixId, kInvokeMethod, kRefText, false, kVtEmpty},  // appends "！"
};

class Counted final : public InProcessObject {
 public:
  Counted() { ++g_live; }

 protected:
  ~Counted() override {
    --g_live;
    for (Dispatch* d : kept_) d->Release();
  }
  std::span<const MemberDesc> Members() const override { return kCountedMembers; }
  HResult Call(const MemberDesc& m, const CallArgs& args, Variant& result) override {
    switch (m.id) {
      case kFailId: {
        std::int32_t code = 0;
        args.Int(0, code);
        return code;
      }
      case kNumberId: result = MakeR8(1.5); return kOk;
      case kTextId: result = MakeBstr(u"9"); return kOk;
      case kFlagId: result = MakeBool(true); return kOk;
      case kWhenId: result = MakeDate(45293.25); return kOk;
      case kSelfId: result = MakeDispatch(this); return kOk;
      case kNothingId: result.vt = kVtDispatch; result.pdispVal = nullptr; return kOk;
      case kValueId:
        if (m.kind == kInvokePropertyGet) {
          result = MakeI4(value_);
          return kOk;
        }
        return args.Int(0, value_);
      case kSmallId: return kOk;
      case kManyId: result = MakeI4(static_cast<std::int32_t>(args.size())); return kOk;
      case kKeepId: {
        const Variant& v = args.Raw(0);
        if (v.vt != kVtDispatch || !v.pdispVal) return kDispTypeMismatch;
        v.pdispVal->AddRef();
        kept_.push_back(v.pdispVal);
        return kOk;
      }
      case kSwapId: {
        Variant& v = args.Raw(0);
        if (v.vt != (kVtByRef | kVtVariant)) return kDispTypeMismatch;
        Variant& target = *static_cast<Variant*>(v.byref);
        VariantClear(target);
        target.vt = kVtDispatch;
        target.pdispVal = new Counted;
        return kOk;
      }
      case kEchoId: {
        std::u16string s;
        if (HResult hr = args.Text(0, s); Failed(hr)) return hr;
        result = MakeBstr(s);
        return kOk;
      }
      case kRecordId: {
        std::vector<Variant>& seen = g_calls.emplace_back(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) VariantCopy(seen[i], args.Raw(i));
        result = MakeI4(static_cast<std::int32_t>(args.size()));
        return kOk;
      }
      case kBumpId: {
        Variant& v = args.Raw(0);
        if (v.vt != (kVtByRef | kVtI4)) return kDispTypeMismatch;
        *static_cast<std::int32_t*>(v.byref) += 1;
        return kOk;
      }
      case kSuffixId: {
        Variant& v = args.Raw(0);
        if (v.vt != (kVtByRef | kVtBstr)) return kDispTypeMismatch;
        auto* slot = static_cast<Bstr*>(v.byref);
        std::u16string s(BstrView(*slot));
        FreeBstr(*slot);
        *slot = AllocBstr(s + u"！");
        return kOk;
      }
      default: return kDispMemberNotFound;
    }
  }

 private:
  std::int32_t value_ = 0;
  std::vector<Dispatch*> kept_;
};

// An object with no dispatch interface at all.
class Plain final : public RefCounted<Unknown> {
 public:
  Plain() { ++g_live; }

 protected:
  ~Plain() override { --g_live; }
};

// A dispatch object without type information.
class Opaque final : public RefCounted<Dispatch> {
 public:
  Opaque() { ++g_live; }
  Dispatch* QueryDispatch() override {
    AddRef();
    return this;
  }
  HResult Bind(std::u16string_view, InvokeKind, const MemberDesc** m) override {
    *m = nullptr;
    return kTypeElementNotFound;
  }
  HResult Invoke(DispId, InvokeKind, DispParams&, Variant*) override { return kFail; }

 protected:
  ~Opaque() override { --g_live; }
};

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAutomationClass(u"Tidyline.Counted", [] { return static_cast<Dispatch*>(new Counted); });
    live_ = g_live;
  }
  void TearDown() override {
    for (auto& call : g_calls)
      for (Variant& v : call) VariantClear(v);
    g_calls.clear();
    EXPECT_EQ(g_live, live_) << "objects leaked or released twice";
  }

  static Object Make() {
    Object o;
    EXPECT_TRUE(CreateObject(o.holder(), "tidyline.counted"));
    return o;
  }
  int live_ = 0;
};

// The call's arguments: holder, member name, then the member's own.
std::vector<TypedArg> Frame(const ObjectHolder& h, const char* name, std::initializer_list<TypedArg> rest = {}) {
  std::vector<TypedArg> a = {arg::Object(&h), arg::Text(name)};
  a.insert(a.end(), rest);
  return a;
}
ResultRecord Call(const Command& c, const std::vector<TypedArg>& a) {
  return CallCommand(c, static_cast<int>(a.size()), a.data());
}

TEST_F(CommandsTest, FailureCodesOfTheCallMapToTheTable) {
  Object o = Make();
  struct Case {
    HResult hr;
    int code;
  } cases[] = {
      {kDispBadParamCount, kAutoBadParamCount}, {kDispBadVarType, kAutoBadVarType},
      {kDispException, kAutoException},         {kDispMemberNotFound, kAutoMemberNotFound},
      {kDispNoNamedArgs, kAutoNoNamedArgs},     {kDispOverflow, kAutoOverflow},
      {kDispParamNotFound, kAutoParamNotFound}, {kDispTypeMismatch, kAutoTypeMismatch},
      {kDispParamNotOptional, kAutoParamNotOptional}, {kFail, kAutoOtherFailure},
      {kInvalidArg, kAutoOtherFailure},         {kOutOfMemory, kAutoOtherFailure},
      {kDispUnknownInterface, kAutoOtherFailure}, {kFalse, kAutoOk},  // S_FALSE is success
  };
  for (const Case& c : cases) {
    Call(cmd::kCallObjectMethod, Frame(o.holder(), "Fail", {arg::Int(c.hr)}));
    EXPECT_EQ(LastAutomationError(), c.code) << std::hex << c.hr;
  }
}

TEST_F(CommandsTest, StructuralErrors) {
  Object o = Make();
  Object empty;
  Object plain, opaque;
  plain.holder().object = new Plain;
  opaque.holder().object = new Opaque;
  VariantValue badTag;
  badTag.get().vt = 0x0FFF;
  const std::string bytes("x");
  ByteSet b(bytes);
  struct Case {
    const char* what;
    const Command& command;
    std::vector<TypedArg> args;
    int code;
  } cases[] = {
      {"empty holder", cmd::kGetTextProperty, Frame(empty.holder(), "Text"), kAutoEmptyHolder},
      {"no dispatch", cmd::kGetTextProperty, Frame(plain.holder(), "Text"), kAutoNoDispatch},
      {"no member", cmd::kGetTextProperty, Frame(o.holder(), "Missing"), kAutoNoMember},
      {"get does not bind a put-only kind", cmd::kSetObjectProperty, Frame(o.holder(), "Text", {arg::Int(1)}),
       kAutoNoMember},
      {"no type information", cmd::kCallObjectMethod, Frame(opaque.holder(), "Any"), kAutoNoTypeInfo},
      {"too many", cmd::kCallObjectMethod, Frame(o.holder(), "Small", {arg::Int(1), arg::Int(2)}), kAutoTooManyArgs},
      {"byte-set argument", cmd::kCallObjectMethod, Frame(o.holder(), "Echo", {arg::ByteSet(b.block())}),
       kAutoBadArgKind},
      {"array argument", cmd::kCallObjectMethod, Frame(o.holder(), "Echo", {arg::Array(kTagInt, nullptr)}),
       kAutoBadArgKind},
      {"result no number", cmd::kGetNumberProperty, Frame(o.holder(), "Self"), kAutoBadResult},
      {"null object as text", cmd::kGetTextProperty, Frame(o.holder(), "Nothing"), kAutoBadResult},
      {"bad variant tag", cmd::kCallObjectMethodText, Frame(o.holder(), "Echo", {arg::VariantRef(&badTag.get())}),
       kAutoBadVarType},
      {"overflow to the declared type", cmd::kCallObjectMethod, Frame(o.holder(), "Small", {arg::Int(300)}),
       kAutoOverflow},
      {"text to the declared int", cmd::kSetObjectProperty, Frame(o.holder(), "Value", {arg::Text("x")}),
       kAutoTypeMismatch},
      {"put without a value", cmd::kSetObjectProperty, Frame(o.holder(), "Value"), kAutoParamNotFound},
      {"middle argument omitted, not optional", cmd::kCallObjectMethodText,
       Frame(o.holder(), "Pair", {arg::Omitted(), arg::Text("b")}), kAutoParamNotOptional},
      {"required argument missing", cmd::kCallObjectMethodText, Frame(o.holder(), "Echo"), kAutoBadParamCount},
  };
  for (const Case& c : cases) {
    ResultRecord r = Call(c.command, c.args);
    EXPECT_EQ(LastAutomationError(), c.code) << c.what;
    EXPECT_EQ(r.word(), 0u) << c.what << ": the empty value of the kind";
  }
}

TEST_F(CommandsTest, EveryMemberCommandThroughTheFrame) {
  Object o = Make();
  Object empty;
  struct Case {
    const Command& command;
    const char* member;
    std::vector<TypedArg> extra;
    std::function<void(const ResultRecord&)> check;
    std::function<void(const ResultRecord&)> checkEmpty;
  };
  const auto text = [](std::string_view want) {
    return [want](const ResultRecord& r) { EXPECT_EQ(TakeText(r).view(), want); };
  };
  const auto number = [](double want) { return [want](const ResultRecord& r) { EXPECT_EQ(r.as_double(), want); }; };
  const auto flag = [](bool want) { return [want](const ResultRecord& r) { EXPECT_EQ(r.lo, want ? 1u : 0u); }; };
  const auto object = [&o](bool same) {
    return [&o, same](const ResultRecord& r) {
      EXPECT_EQ(r.tag, kTagObjectHolder);
      ASSERT_NE(r.pointer(), nullptr);  // a new holder block, also when empty
      Object got = TakeObject(r);
      EXPECT_EQ(got.holder().object == o.holder().object, same);
      EXPECT_EQ(got.holder().object != nullptr, same);
    };
  };
  const auto variant = [](VarType vt) {
    return [vt](const ResultRecord& r) {
      EXPECT_EQ(r.tag, kTagVariant);
      ASSERT_NE(r.pointer(), nullptr);
      VariantValue v = TakeVariant(r);
      EXPECT_EQ(v.get().vt, vt);
      if (vt == kVtEmpty) {
        EXPECT_EQ(v.get().llVal, 0);
      }
    };
  };
  const auto nothing = [](const ResultRecord& r) { EXPECT_EQ(r.word(), 0u); };
  Case cases[] = {
      {cmd::kGetTextProperty, "Number", {}, text("1.5"), text("")},
      {cmd::kGetNumberProperty, "Text", {}, number(9), number(0)},
      {cmd::kGetBoolProperty, "Text", {}, flag(true), flag(false)},
      {cmd::kGetDateProperty, "When", {}, number(45293.25), number(0)},
      {cmd::kGetObjectProperty, "Self", {}, object(true), object(false)},
      {cmd::kGetVariantProperty, "Flag", {}, variant(kVtBool), variant(kVtEmpty)},
      {cmd::kSetObjectProperty, "Value", {arg::Double(4.0)}, flag(true), flag(false)},
      {cmd::kCallObjectMethod, "Fail", {arg::Int(0)}, nothing, nothing},
      // A call falls back to a property get.
      {cmd::kCallObjectMethodText, "Value", {}, text("4"), text("")},
      {cmd::kCallObjectMethodBool, "Flag", {}, flag(true), flag(false)},
      {cmd::kCallObjectMethodObject, "Self", {}, object(true), object(false)},
      {cmd::kCallObjectMethodVariant, "Echo", {arg::Text("e")}, variant(kVtBstr), variant(kVtEmpty)},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.command.name);
    std::vector<TypedArg> a = Frame(o.holder(), c.member);
    a.insert(a.end(), c.extra.begin(), c.extra.end());
    c.check(Call(c.command, a));
    EXPECT_EQ(LastAutomationError(), kAutoOk);
    a[0] = arg::Object(&empty.holder());
    c.checkEmpty(Call(c.command, a));
    EXPECT_EQ(LastAutomationError(), kAutoEmptyHolder);
  }
  // A holder argument that is no holder at all counts as empty.
  std::vector<TypedArg> wrong = {arg::Int(5), arg::Text("Text")};
  EXPECT_TRUE(TakeText(Call(cmd::kGetTextProperty, wrong)).empty());
  EXPECT_EQ(LastAutomationError(), kAutoEmptyHolder);
}

TEST_F(CommandsTest, HolderCommandsAndReferences) {
  ObjectHolder a{};
  const TypedArg create[] = {arg::Object(&a), arg::Text("Tidyline.Counted")};
  EXPECT_EQ(CallCommand(cmd::kCreateObject, 2, create).lo, 1u);
  EXPECT_EQ(g_live, live_ + 1);
  // Creating into a full holder releases what it held.
  const TypedArg again[] = {arg::Object(&a), arg::Text("Tidyline.Counted"), arg::Text("/no/such.tlb")};
  EXPECT_EQ(CallCommand(cmd::kCreateObject, 3, again).lo, 1u);
  EXPECT_EQ(g_live, live_ + 1);

  struct Bad {
    const char* what;
    std::vector<TypedArg> args;
  } bad[] = {
      {"unknown class", {arg::Object(&a), arg::Text("No.Such")}},
      {"empty class name", {arg::Object(&a), arg::Text("")}},
      {"unknown class id", {arg::Object(&a), arg::Text("{00000000-0000-0000-0000-000000000000}")}},
      {"no holder variable", {arg::Int(1), arg::Text("Tidyline.Counted")}},
  };
  for (const Bad& c : bad) {
    EXPECT_EQ(Call(cmd::kCreateObject, c.args).lo, 0u) << c.what;
    EXPECT_EQ(LastAutomationError(), kAutoOtherFailure) << c.what;
  }
  EXPECT_EQ(g_live, live_ + 1);
  Unknown* first = a.object;
  ASSERT_NE(first, nullptr);

  // AssignObject shares; it does not release the destination's old object.
  ObjectHolder b{};
  ASSERT_TRUE(CreateObject(b, "Tidyline.Counted"));
  Unknown* second = b.object;
  const TypedArg assign[] = {arg::Object(&b), arg::Object(&a)};
  CallCommand(cmd::kAssignObject, 2, assign);
  EXPECT_EQ(b.object, first);
  EXPECT_EQ(b.aux, nullptr);
  EXPECT_EQ(g_live, live_ + 2);  // the second object is still alive
  second->Release();
  EXPECT_EQ(g_live, live_ + 1);

  const TypedArg isEmpty[] = {arg::Object(&b)};
  EXPECT_EQ(CallCommand(cmd::kIsObjectEmpty, 1, isEmpty).lo, 0u);
  CallCommand(cmd::kReleaseObject, 1, isEmpty);
  EXPECT_EQ(b.object, nullptr);
  EXPECT_EQ(CallCommand(cmd::kIsObjectEmpty, 1, isEmpty).lo, 1u);
  EXPECT_EQ(g_live, live_ + 1);  // a still holds it
  CallCommand(cmd::kReleaseObject, 1, isEmpty);  // twice is harmless
  const TypedArg releaseA[] = {arg::Object(&a)};
  CallCommand(cmd::kReleaseObject, 1, releaseA);
  EXPECT_EQ(g_live, live_);
  const TypedArg noHolder[] = {arg::Int(3)};
  CallCommand(cmd::kReleaseObject, 1, noHolder);
  CallCommand(cmd::kAssignObject, 1, noHolder);
  EXPECT_EQ(CallCommand(cmd::kIsObjectEmpty, 1, noHolder).lo, 1u);
}

TEST_F(CommandsTest, ObjectsPassedAndReturnedKeepTheirCounts) {
  {
    Object keeper = Make();
    Object item = Make();
    for (int i = 0; i < 3; ++i) Call(cmd::kCallObjectMethod, Frame(keeper.holder(), "Keep", {arg::Object(&item.holder())}));
    EXPECT_EQ(LastAutomationError(), kAutoOk);
    for (int i = 0; i < 5; ++i) {
      Object self = TakeObject(Call(cmd::kGetObjectProperty, Frame(item.holder(), "Self")));
      EXPECT_EQ(self.holder().object, item.holder().object);
      VariantValue v = TakeVariant(Call(cmd::kCallObjectMethodVariant, Frame(item.holder(), "Self")));
      EXPECT_EQ(v.get().vt, kVtDispatch);
    }
    // An object converts to a number through its default member: these have
    // none, so the conversion fails without keeping a reference.
    EXPECT_EQ(GetNumberProperty(item.holder(), "Self"), 0.0);
    EXPECT_EQ(g_live, live_ + 2);
  }
  EXPECT_EQ(g_live, live_);  // the kept references went with the keeper
}

TEST_F(CommandsTest, ByReferenceObjectsAreCopiedBack) {
  Object o = Make();
  // Into a variant variable.
  VariantValue v(MakeI4(1));
  Call(cmd::kCallObjectMethod, Frame(o.holder(), "Swap", {arg::VariantRef(&v.get())}));
  EXPECT_EQ(LastAutomationError(), kAutoOk);
  EXPECT_EQ(v.get().vt, kVtDispatch);
  EXPECT_EQ(g_live, live_ + 2);
  // Into an object holder variable: the old object is released.
  Object target = Make();
  EXPECT_EQ(g_live, live_ + 3);
  Call(cmd::kCallObjectMethod, Frame(o.holder(), "Swap", {arg::Object(&target.holder())}));
  EXPECT_EQ(LastAutomationError(), kAutoOk);
  EXPECT_EQ(g_live, live_ + 3);
  EXPECT_EQ(GetTextProperty(target.holder(), "Text").view(), "9");
  // A plain value is passed by reference to a copy, nothing to write back.
  Call(cmd::kCallObjectMethod, Frame(o.holder(), "Swap", {arg::Int(1)}));
  EXPECT_EQ(LastAutomationError(), kAutoOk);
  EXPECT_EQ(g_live, live_ + 3);
}

TEST_F(CommandsTest, ManyArgumentsAndLongTexts) {
  Object o = Make();
  std::vector<TypedArg> a = Frame(o.holder(), "Many");
  a.resize(a.size() + 20000, arg::Int(1));
  EXPECT_EQ(Call(cmd::kGetNumberProperty, a).as_double(), 20000.0);
  a[1] = arg::Text("Small");
  Call(cmd::kCallObjectMethod, a);
  EXPECT_EQ(LastAutomationError(), kAutoTooManyArgs);
  std::fill(a.begin() + 3, a.end(), arg::Omitted());  // trailing omissions are dropped
  Call(cmd::kCallObjectMethod, a);
  EXPECT_EQ(LastAutomationError(), kAutoOk);

  std::string big;
  for (int i = 0; i < 100000; ++i) big += Gbk("长");
  big += "end";
  EXPECT_EQ(TakeText(Call(cmd::kCallObjectMethodText, Frame(o.holder(), "Echo", {arg::Text(big.c_str())}))).view(),
            big);
}

TEST_F(CommandsTest, OmittedArguments) {
  Object probe = Make();
  const TypedArg middle[] = {arg::Int(1), arg::Omitted(), arg::Int(3)};
  const TypedArg trailing[] = {arg::Int(1), arg::Omitted(), arg::Omitted()};
  const TypedArg tooMany[] = {arg::Int(1), arg::Int(2), arg::Int(3), arg::Int(4)};

  EXPECT_EQ(VariantToNumber(CallObjectMethodVariant(probe.holder(), "Record", middle).get()), 3.0);
  ASSERT_EQ(g_calls.back().size(), 3u);
  EXPECT_EQ(g_calls.back()[1].vt, kVtError);
  EXPECT_EQ(g_calls.back()[1].scode, kDispParamNotFound);
  EXPECT_EQ(g_calls.back()[2].vt, kVtI4);

  EXPECT_EQ(VariantToNumber(CallObjectMethodVariant(probe.holder(), "Record", trailing).get()), 1.0);
  EXPECT_EQ(g_calls.back().size(), 1u);

  const std::size_t before = g_calls.size();
  CallObjectMethod(probe.holder(), "Record", tooMany);
  EXPECT_EQ(LastAutomationError(), kAutoTooManyArgs);
  EXPECT_EQ(g_calls.size(), before);  // never called
}


TEST_F(CommandsTest, ArgumentKindsBecomeVariants) {
  Object probe = Make();
  Object re;
  ASSERT_TRUE(CreateObject(re.holder(), "VBScript.RegExp"));
  const std::string chinese = Gbk("中文");
  const TypedArg args[] = {arg::Boolean(true), arg::Long(0x1'0000'0005LL), arg::Text(chinese.c_str())};
  CallObjectMethod(probe.holder(), "Record", args);
  ASSERT_EQ(g_calls.back().size(), 3u);
  EXPECT_EQ(g_calls.back()[0].vt, kVtBool);
  EXPECT_EQ(g_calls.back()[0].boolVal, -1);
  EXPECT_EQ(g_calls.back()[1].vt, kVtI4);
  EXPECT_EQ(g_calls.back()[1].lVal, 5);  // low 32 bits
  EXPECT_EQ(BstrView(g_calls.back()[2].bstrVal), u"中文");

  const TypedArg more[] = {arg::Byte(7), arg::Short(-2), arg::Object(&re.holder())};
  CallObjectMethod(probe.holder(), "Record", more);
  EXPECT_EQ(g_calls.back()[0].vt, kVtUi1);
  EXPECT_EQ(g_calls.back()[1].vt, kVtI2);
  EXPECT_EQ(g_calls.back()[2].vt, kVtDispatch);
}


TEST_F(CommandsTest, ByReferenceArgumentsAreCopiedBack) {
  Object probe = Make();
  std::int32_t n = 41;
  const TypedArg variable[] = {arg::IntVariable(&n)};
  CallObjectMethod(probe.holder(), "Bump", variable);
  EXPECT_EQ(LastAutomationError(), 0);
  EXPECT_EQ(n, 42);

  const TypedArg value[] = {arg::Int(1)};  // not a variable: nothing to write back
  CallObjectMethod(probe.holder(), "Bump", value);
  EXPECT_EQ(LastAutomationError(), 0);

  Text t(Gbk("文件"));
  char* slot = t.release();
  TypedArg textVar;
  textVar.set_pointer(&slot);
  textVar.tag = kTagText | kTagIndirect;
  CallObjectMethod(probe.holder(), "Suffix", {&textVar, 1});
  Text after = Text::Adopt(slot);
  EXPECT_EQ(after.view(), Gbk("文件！"));

  VariantValue var(MakeI4(9));
  const TypedArg variantArg[] = {arg::VariantRef(&var.get())};
  CallObjectMethod(probe.holder(), "Bump", variantArg);
  EXPECT_EQ(VariantToNumber(var.get()), 10.0);
}


TEST_F(CommandsTest, LastErrorBelongsToTheThread) {
  Object empty;
  GetTextProperty(empty.holder(), "x");
  ASSERT_EQ(LastAutomationError(), kAutoEmptyHolder);
  int seen = 1;
  std::thread([&] { seen = LastAutomationError(); }).join();
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(LastAutomationError(), kAutoEmptyHolder);
}

}  // namespace
}  // namespace tl
