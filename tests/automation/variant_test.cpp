// Automation values: text at the boundary, BSTRs, conversions, the variant
// commands with every argument kind, and variants that come in malformed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "runtime/automation/commands.h"
#include "runtime/automation/variant.h"
#include "runtime/automation/wide_text.h"
#include "support/gbk.h"

namespace tl {
namespace {

using namespace rt;
using namespace rt::automation;
using test::Gbk;

// --------------------------------------------------------------------------
// Text at the boundary

TEST(WideTextTest, GbkToUtf16) {
  struct Case {
    std::string gbk;
    std::u16string units;
  } cases[] = {
      {"", u""}, {"abc", u"abc"}, {Gbk("中文"), u"中文"},
      {Gbk("a😀b"), u"a\U0001F600b"},  // four-byte GB18030 sequence: a surrogate pair
      {Gbk("€"), u"€"},
      {"a\xFF" "b", u"a\xFFFD" "b"},  // not a lead byte
      {"a\x81", u"a\xFFFD"},          // cut inside a character
      {"\x81\x20x", u"\xFFFD x"},     // lead byte without a valid trail
  };
  for (const Case& c : cases) EXPECT_EQ(GbkToUtf16(c.gbk), c.units) << test::Utf8(c.gbk);
}

TEST(WideTextTest, Utf16ToGbk) {
  struct Case {
    std::u16string units;
    std::string gbk;
  } cases[] = {
      {u"", ""}, {u"plain", "plain"}, {u"中文", Gbk("中文")}, {u"\U0001F600", Gbk("😀")},
      {u"a\xD800" "b", "a?b"},  // unpaired high surrogate
      {u"a\xDC00", "a?"},       // unpaired low surrogate at the end
      {u"\xD800", "?"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16ToGbk(c.units), c.gbk);
}

TEST(WideTextTest, Utf8BothWays) {
  EXPECT_EQ(Utf8ToUtf16("caf\xC3\xA9"), u"café");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\xFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xFFz"), u"\xFFFDz");
  EXPECT_EQ(Utf16ToUtf8(u"中"), "\xE4\xB8\xAD");
  EXPECT_EQ(Utf16ToUtf8(u"x\xDBFFy"), "x?y");
  // Round trip of everything GB18030 can hold.
  const std::u16string all = u"aé中\U00010437€";
  EXPECT_EQ(GbkToUtf16(Utf16ToGbk(all)), all);
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(all)), all);
}

TEST(WideTextTest, ValidUtf8) {
  struct Case {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"", true}, {"ascii", true}, {"\xC3\xA9", true}, {"\xE4\xB8\xAD", true}, {"\xF0\x9F\x98\x80", true},
      {"\xF4\x8F\xBF\xBF", true},
      {"\xC0\x80", false},          // overlong
      {"\xE0\x80\x80", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xE4\xB8", false},          // cut short
      {"\x80", false}, {Gbk("中文"), false}, {Gbk("文件.txt"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes.size();
}

TEST(WideTextTest, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsNoCase(u"Scripting.FileSystemObject", u"SCRIPTING.filesystemobject"));
  EXPECT_FALSE(EqualsNoCase(u"Ä", u"ä"));
  EXPECT_FALSE(EqualsNoCase(u"ab", u"abc"));
  EXPECT_EQ(FoldAscii(u'['), u'[');  // just past 'Z'
  EXPECT_EQ(FoldAscii(u'@'), u'@');  // just before 'A'
}

// --------------------------------------------------------------------------
// BSTR

TEST(BstrTest, LengthPrefixAndEmbeddedZero) {
  const std::u16string text(u"a\0b", 3);
  Bstr s = AllocBstr(text);
  EXPECT_EQ(BstrLength(s), 3u);
  EXPECT_EQ(BstrView(s), text);
  EXPECT_EQ(s[3], u'\0');
  std::uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const char*>(s) - 4, 4);
  EXPECT_EQ(bytes, 6u);
  FreeBstr(s);
  EXPECT_EQ(BstrLength(nullptr), 0u);
  EXPECT_TRUE(BstrView(nullptr).empty());
  FreeBstr(nullptr);
}

// --------------------------------------------------------------------------
// Conversions

TEST(VariantChangeTypeTest, ToNumbersAndFlags) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    Variant from;
    VarType to;
    HResult hr;
    double number;  // the result read back as a double
  } cases[] = {
      {"half to even, down", MakeR8(2.5), kVtI4, kOk, 2}, {"half to even, up", MakeR8(3.5), kVtI4, kOk, 4},
      {"r8 to i2", MakeR8(-2.5), kVtI2, kOk, -2}, {"r8 to ui1 top", MakeR8(255.4), kVtUi1, kOk, 255},
      {"r8 to ui1 over", MakeR8(255.6), kVtUi1, kDispOverflow, 0},
      {"negative to ui4", MakeR8(-1), kVtUi4, kDispOverflow, 0},
      {"nan to i4", MakeR8(nan), kVtI4, kDispOverflow, 0},
      {"r8 to r4 over", MakeR8(1e300), kVtR4, kDispOverflow, 0},
      // Out-of-range doubles never reach the integer cast of the currency.
      {"nan to currency", MakeR8(nan), kVtCy, kDispOverflow, 0},
      {"infinity to currency", MakeR8(std::numeric_limits<double>::infinity()), kVtCy, kDispOverflow, 0},
      {"r8 to currency over", MakeR8(-1e300), kVtCy, kDispOverflow, 0},
      {"currency top", MakeR8(922337203685477.0), kVtCy, kOk, 922337203685477.0},
      {"date range", MakeR8(3e6), kVtDate, kDispOverflow, 0}, {"r8 to currency", MakeR8(1.23456), kVtCy, kOk, 1.2346},
      {"i4 to bool", MakeI4(7), kVtBool, kOk, -1}, {"bool true to i2", MakeBool(true), kVtI2, kOk, -1},
      {"empty to r8", Variant(), kVtR8, kOk, 0}, {"bool false to r8", MakeBool(false), kVtR8, kOk, 0},
      {"text +7 to i2", MakeBstr(u"  +7 "), kVtI2, kOk, 7}, {"text FALSE", MakeBstr(u"FALSE"), kVtBool, kOk, 0},
      {"text 1 to bool", MakeBstr(u"1"), kVtBool, kOk, -1}, {"text true", MakeBstr(u"true"), kVtBool, kOk, -1},
      {"text inf", MakeBstr(u"inf"), kVtR8, kDispTypeMismatch, 0},
      {"text 1e400", MakeBstr(u"1e400"), kVtR8, kDispTypeMismatch, 0},
      {"text empty", MakeBstr(u""), kVtI4, kDispTypeMismatch, 0},
      {"text wide digits", MakeBstr(u"１２"), kVtI4, kDispTypeMismatch, 0},
      {"text date", MakeBstr(u"2024-01-02"), kVtDate, kOk, 45293},
      {"text time", MakeBstr(u"6:00"), kVtDate, kOk, 0.25},
      {"text date and time", MakeBstr(u"1899/12/31 12:00:00"), kVtDate, kOk, 1.5},
      {"text bad hour", MakeBstr(u"25:00"), kVtDate, kDispTypeMismatch, 0},
      {"text bad day", MakeBstr(u"2024/2/30"), kVtDate, kDispTypeMismatch, 0},
      {"null to i4", [] { Variant v; v.vt = kVtNull; return v; }(), kVtI4, kDispTypeMismatch, 0},
      {"error to i4", MakeError(kFail), kVtI4, kDispTypeMismatch, 0},
      {"i4 to error", MakeI4(1), kVtError, kDispTypeMismatch, 0},
      {"unknown tag", [] { Variant v; v.vt = 0x0FFF; return v; }(), kVtI4, kDispBadVarType, 0},
      {"to unknown tag", MakeI4(1), 0x0FFF, kDispBadVarType, 0},
  };
  for (Case& c : cases) {
    Variant out = MakeI4(99);
    const HResult hr = VariantChangeType(out, c.from, c.to);
    EXPECT_EQ(hr, c.hr) << c.what;
    if (hr == kOk) {
      EXPECT_EQ(out.vt, c.to) << c.what;
      Variant d;
      ASSERT_EQ(VariantChangeType(d, out, kVtR8), kOk) << c.what;
      EXPECT_NEAR(d.dblVal, c.number, 1e-9) << c.what;
    } else {
      EXPECT_EQ(out.vt, kVtI4) << c.what << ": a failed conversion leaves the target alone";
      EXPECT_EQ(out.lVal, 99) << c.what;
    }
    VariantClear(out);
    VariantClear(c.from);
  }
}

TEST(VariantChangeTypeTest, ToText) {
  struct Case {
    Variant from;
    std::u16string text;
  } cases[] = {
      {MakeI4(-42), u"-42"}, {MakeR8(0.5), u"0.5"}, {MakeR8(1e21), u"1e+21"}, {MakeBool(true), u"True"},
      {MakeBool(false), u"False"}, {Variant(), u""}, {MakeDate(45293.0), u"2024/1/2"}, {MakeDate(0.75), u"18:00:00"},
      {MakeDate(1.5), u"1899/12/31 12:00:00"}, {MakeBstr(u"same"), u"same"},
  };
  for (Case& c : cases) {
    Variant out;
    ASSERT_EQ(VariantChangeType(out, c.from, kVtBstr), kOk);
    EXPECT_EQ(BstrView(out.bstrVal), c.text);
    VariantClear(out);
    VariantClear(c.from);
  }
}

TEST(VariantChangeTypeTest, InPlaceAndThroughReferences) {
  Variant v = MakeBstr(u"12");
  ASSERT_EQ(VariantChangeType(v, v, kVtI4), kOk);  // dst may be src: the text is freed
  EXPECT_EQ(v.vt, kVtI4);
  EXPECT_EQ(v.lVal, 12);

  double d = 2.0;
  Variant ref;
  ref.vt = kVtByRef | kVtR8;
  ref.byref = &d;
  Variant out;
  ASSERT_EQ(VariantChangeType(out, ref, kVtBstr), kOk);
  EXPECT_EQ(BstrView(out.bstrVal), u"2");
  VariantClear(out);
  Variant copy;
  ASSERT_EQ(VariantCopyInd(copy, ref), kOk);
  EXPECT_EQ(copy.vt, kVtR8);
  EXPECT_EQ(copy.dblVal, 2.0);
  VariantClear(ref);  // clearing a reference leaves the target alone
  EXPECT_EQ(d, 2.0);
}

// --------------------------------------------------------------------------
// Malformed variants must not crash

TEST(HostileVariantTest, NullAndEndlessReferences) {
  Variant nullRef;
  nullRef.vt = kVtByRef | kVtI4;
  nullRef.byref = nullptr;
  Variant out;
  EXPECT_EQ(VariantChangeType(out, nullRef, kVtR8), kDispBadVarType);
  EXPECT_EQ(VariantCopyInd(out, nullRef), kDispBadVarType);
  EXPECT_EQ(out.vt, kVtEmpty);
  EXPECT_EQ(VariantToNumber(nullRef), 0.0);
  EXPECT_TRUE(VariantToByteSet(nullRef).empty());

  Variant loop;
  loop.vt = kVtByRef | kVtVariant;
  loop.byref = &loop;
  EXPECT_EQ(VariantChangeType(out, loop, kVtI4), kDispBadVarType);
  EXPECT_EQ(VariantToNumber(loop, 1), 0.0);
  EXPECT_EQ(LastAutomationError(), kAutoOtherFailure);
}

TEST(HostileVariantTest, ArraysOfUnknownElementsAndWrongSizes) {
  // An array from outside whose element type no array can hold.
  auto* odd = new SafeArray;
  odd->elementType = 0x0FFF;
  odd->elementSize = 64;
  odd->count = 2;
  odd->data = std::calloc(2, 64);
  Variant v;
  v.vt = kVtArray | 0x0FFF;
  v.parray = odd;

  Variant copy;
  EXPECT_EQ(VariantCopy(copy, v), kOk);
  EXPECT_EQ(copy.parray, nullptr);
  VariantClear(copy);
  EXPECT_EQ(VariantToNumber(v, 1), 0.0);
  EXPECT_TRUE(VariantToByteSet(v, 2).empty());
  EXPECT_FALSE(SetVariant(v, arg::Int(1), 1));

  // A byte array that claims 64-byte elements.
  odd->elementType = kVtUi1;
  v.vt = kVtArray | kVtUi1;
  EXPECT_EQ(VariantToNumber(v, 2), 0.0);
  EXPECT_FALSE(SetVariant(v, arg::Int(1), 2));
  VariantClear(v);  // frees the block and the header

  Variant empty;
  empty.vt = kVtArray | kVtUi1;  // no array at all
  EXPECT_TRUE(VariantToByteSet(empty).empty());
  EXPECT_FALSE(SetVariant(empty, arg::Int(1), 1));
  VariantClear(empty);
}

// --------------------------------------------------------------------------
// The variant commands with each kind of value

TEST(VariantCommandTest, SetVariantTakesEveryKind) {
  VariantValue holder;
  Object re;
  ASSERT_TRUE(CreateObject(re.holder(), "VBScript.RegExp"));
  VariantValue inner(MakeBstr(u"3.5"));
  const std::string bytes("\x05\x06", 2);
  ByteSet b(bytes);
  struct Case {
    const char* what;
    TypedArg value;
    VarType vt;
    double number;  // VariantToNumber afterwards
    int numberError;
  } cases[] = {
      {"byte", arg::Byte(200), kVtUi1, 200, kAutoOk}, {"short", arg::Short(-300), kVtI2, -300, kAutoOk},
      {"int", arg::Int(-70000), kVtI4, -70000, kAutoOk},
      {"long keeps the low 32 bits", arg::Long(0x1'0000'0007LL), kVtI4, 7, kAutoOk},
      {"float", arg::Float(1.5f), kVtR4, 1.5, kAutoOk}, {"double", arg::Double(-0.25), kVtR8, -0.25, kAutoOk},
      {"boolean", arg::Boolean(true), kVtBool, -1, kAutoOk},
      {"date-time", arg::DateTime(45293.5), kVtDate, 45293.5, kAutoOk},
      {"text", arg::Text("12"), kVtBstr, 12, kAutoOk},
      {"variant", arg::VariantRef(&inner.get()), kVtBstr, 3.5, kAutoOk},
      {"byte-set", arg::ByteSet(b.block()), kVtArray | kVtUi1, 0, kAutoBadResult},
      {"object", arg::Object(&re.holder()), kVtDispatch, 0, kAutoBadResult},  // no default value to read
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(SetVariant(holder.get(), c.value)) << c.what;
    EXPECT_EQ(LastAutomationError(), kAutoOk) << c.what;
    EXPECT_EQ(holder.get().vt, c.vt) << c.what;
    EXPECT_EQ(VariantToNumber(holder.get()), c.number) << c.what;
    EXPECT_EQ(LastAutomationError(), c.numberError) << c.what;
  }
  EXPECT_EQ(BstrView(inner.get().bstrVal), u"3.5");  // the source variant is copied, not moved

  struct Bad {
    const char* what;
    TypedArg value;
  } bad[] = {
      {"omitted", arg::Omitted()},
      {"array", arg::Array(kTagInt, nullptr)},
      {"foreign tag", [] { TypedArg a; a.tag = 0x00040002; return a; }()},
  };
  SetVariant(holder.get(), arg::Int(5));
  for (const Bad& c : bad) {
    EXPECT_FALSE(SetVariant(holder.get(), c.value)) << c.what;
    EXPECT_EQ(LastAutomationError(), kAutoBadArgKind) << c.what;
    EXPECT_EQ(VariantToNumber(holder.get()), 5.0) << c.what << ": the variant keeps its value";
  }
}

TEST(VariantCommandTest, ElementsOfArrays) {
  // An array of texts: setting an element frees the one it replaces.
  Variant texts;
  texts.vt = kVtArray | kVtBstr;
  texts.parray = CreateSafeArray(kVtBstr, 3);
  VariantValue owner(texts);
  Variant& v = owner.get();
  EXPECT_TRUE(SetVariant(v, arg::Text("first"), 1));
  EXPECT_TRUE(SetVariant(v, arg::Int(42), 2));  // converted to the element type
  EXPECT_TRUE(SetVariant(v, arg::Text("replaced"), 1));
  EXPECT_EQ(VariantToNumber(v, 2), 42.0);
  EXPECT_EQ(VariantToNumber(v, 1), 0.0);
  EXPECT_EQ(LastAutomationError(), kAutoBadResult);
  EXPECT_EQ(VariantToNumber(v, 3), 0.0);  // a null text is no number
  EXPECT_EQ(BstrView(static_cast<Bstr*>(v.parray->data)[0]), u"replaced");

  struct Index {
    std::int32_t index;
    bool ok;
  } indexes[] = {{0, false}, {-1, false}, {4, false}, {3, true}, {1, true}};
  for (const Index& i : indexes) {
    EXPECT_EQ(SetVariant(v, arg::Text("7"), i.index), i.ok) << i.index;
    EXPECT_EQ(VariantToNumber(v, i.index), i.ok ? 7.0 : 0.0) << i.index;
    if (!i.ok) {
      EXPECT_EQ(LastAutomationError(), kAutoOtherFailure) << i.index;
    }
  }

  // An array of variants holding a byte array: VariantToByteSet by index.
  Variant mixed;
  mixed.vt = kVtArray | kVtVariant;
  mixed.parray = CreateSafeArray(kVtVariant, 2);
  VariantValue mixedOwner(mixed);
  const std::string bytes("\x00\x7F\x80", 3);
  ByteSet b(bytes);
  EXPECT_TRUE(SetVariant(mixedOwner.get(), arg::ByteSet(b.block()), 2));
  EXPECT_TRUE(SetVariant(mixedOwner.get(), arg::Double(1.25), 1));
  EXPECT_EQ(VariantToByteSet(mixedOwner.get(), 2).view(), bytes);
  EXPECT_TRUE(VariantToByteSet(mixedOwner.get(), 1).empty());
  EXPECT_EQ(LastAutomationError(), kAutoBadResult);
  EXPECT_EQ(VariantToNumber(mixedOwner.get(), 1), 1.25);

  // A reference to a byte array reads through.
  Variant ref;
  ref.vt = kVtByRef | kVtArray | kVtUi1;
  ref.byref = &mixedOwner.get().parray;  // not a byte array: nothing
  EXPECT_TRUE(VariantToByteSet(ref).empty());
  SetVariant(owner.get(), arg::ByteSet(b.block()));
  ref.byref = &owner.get().parray;
  EXPECT_EQ(VariantToByteSet(ref).view(), bytes);
  EXPECT_EQ(VariantToNumber(ref, 2), 127.0);
  EXPECT_FALSE(SetVariant(ref, arg::Int(1), 1));  // only a variable's own array is written
  EXPECT_FALSE(SetVariant(owner.get(), arg::Int(300), 1));  // does not fit a byte
  VariantValue scalar(MakeI4(1));
  EXPECT_FALSE(SetVariant(scalar.get(), arg::Int(1), 1));  // not an array
}

TEST(VariantCommandTest, ThroughTheFrame) {
  VariantValue v;
  const TypedArg set[] = {arg::VariantRef(&v.get()), arg::Text("2.5")};
  EXPECT_EQ(CallCommand(cmd::kSetVariant, 2, set).lo, 1u);
  const TypedArg read[] = {arg::VariantRef(&v.get())};
  EXPECT_EQ(CallCommand(cmd::kVariantToNumber, 1, read).as_double(), 2.5);

  const std::string bytes("ab\0c", 4);
  ByteSet b(bytes);
  const TypedArg setBytes[] = {arg::VariantRef(&v.get()), arg::ByteSet(b.block())};
  CallCommand(cmd::kSetVariant, 2, setBytes);
  EXPECT_EQ(TakeByteSet(CallCommand(cmd::kVariantToByteSet, 1, read)).view(), bytes);
  const TypedArg element[] = {arg::VariantRef(&v.get()), arg::Int(4)};
  EXPECT_EQ(CallCommand(cmd::kVariantToNumber, 2, element).as_double(), double('c'));
  const TypedArg setElement[] = {arg::VariantRef(&v.get()), arg::Int('z'), arg::Int(1)};
  EXPECT_EQ(CallCommand(cmd::kSetVariant, 3, setElement).lo, 1u);
  const TypedArg byteAt[] = {arg::VariantRef(&v.get()), arg::Int(1)};
  EXPECT_TRUE(TakeByteSet(CallCommand(cmd::kVariantToByteSet, 2, byteAt)).empty());  // an element is no array
  EXPECT_EQ(TakeByteSet(CallCommand(cmd::kVariantToByteSet, 1, read)).view(), std::string("zb\0c", 4));

  CallCommand(cmd::kClearVariant, 1, read);
  EXPECT_EQ(v.get().vt, kVtEmpty);
  EXPECT_EQ(v.get().llVal, 0);

  // Missing or wrong-kind variables: an error, never a crash.
  const TypedArg noValue[] = {arg::VariantRef(&v.get())};
  EXPECT_EQ(CallCommand(cmd::kSetVariant, 1, noValue).lo, 0u);
  EXPECT_EQ(LastAutomationError(), kAutoOtherFailure);
  const TypedArg notVariant[] = {arg::Int(1), arg::Int(2)};
  EXPECT_EQ(CallCommand(cmd::kSetVariant, 2, notVariant).lo, 0u);
  EXPECT_EQ(CallCommand(cmd::kVariantToNumber, 1, notVariant).as_double(), 0.0);
  EXPECT_TRUE(TakeByteSet(CallCommand(cmd::kVariantToByteSet, 1, notVariant)).empty());
  CallCommand(cmd::kClearVariant, 1, notVariant);
  CallCommand(cmd::kClearVariant, 0, nullptr);
}

}  // namespace
}  // namespace tl
