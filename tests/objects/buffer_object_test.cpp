// The byte buffer object, driven as application code drives it: through
// the frame commands on a variable slot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/fixture.h"
#include "runtime/commands/buffer_object.h"
#include "runtime/core/frame.h"

namespace tl::rt {
namespace {

using namespace std::string_literals;

// A buffer variable: the argument that points at its slot.
TypedArg SlotArg(void** slot) {
  TypedArg a;
  a.set_pointer(slot);
  a.tag = kTagBuffer;
  return a;
}

// A buffer variable as application code holds it: one slot, driven only
// through the frame commands.
struct FrameBuffer {
  FrameBuffer() { Call(kBufferInit, {}); }
  ~FrameBuffer() { Call(kBufferFree, {}); }
  ResultRecord Call(const Command& c, std::initializer_list<TypedArg> rest) {
    std::vector<TypedArg> args{Self()};
    args.insert(args.end(), rest.begin(), rest.end());
    return CallLibraryCommand(c, static_cast<int>(args.size()), args.data());
  }
  TypedArg Self() { return SlotArg(&slot_); }
  std::string Content() { return std::string(TakeByteSet(Call(kBufferGetBytes, {})).view()); }
  void* slot_ = nullptr;
};

TypedArg BytesArg(const ByteSet& b) { return arg::ByteSet(b.block()); }

TEST(BufferObject, NewBufferIsEmptyWithNoBlock) {
  FrameBuffer b;
  auto* h = static_cast<BufferHeader*>(b.slot_);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->data, nullptr);
  EXPECT_EQ(h->capacity, 0u);
  EXPECT_EQ(b.Call(kBufferLength, {}).as_int(), 0);
  EXPECT_EQ(b.Call(kBufferGetBytes, {}).pointer(), nullptr);
}

TEST(BufferObject, RawBytesOfEveryArgumentKind) {
  ByteSet bs("\x01\x02"s);
  TextArray texts(3);
  texts.Set(1, Text("ab"));
  texts.Set(3, Text("c"));  // element 2 stays null and contributes nothing
  std::int32_t ints[4] = {1, 2, 0x01020304, 7};  // {dims, size, elements...}
  void* bsArray = array::NewOneDim(2, sizeof(void*));
  const void* elems[2] = {bs.block(), nullptr};
  std::memcpy(array::Elements(bsArray), elems, sizeof elems);
  Buffer other;
  other.AppendBytes("zz");

  struct Case {
    const char* name;
    TypedArg value;
    std::string bytes;
  } cases[] = {
      {"text with NUL", arg::Text("ab"), "ab\0"s},
      {"empty text is its NUL", arg::Text(""), "\0"s},
      {"byte-set data only", BytesArg(bs), "\x01\x02"s},
      {"byte", arg::Byte(0xFE), "\xFE"s},
      {"short", arg::Short(-2), "\xFE\xFF"s},
      {"int", arg::Int(0x11223344), "\x44\x33\x22\x11"s},
      {"long", arg::Long(0x0102030405060708LL), "\x08\x07\x06\x05\x04\x03\x02\x01"s},
      {"float", arg::Float(1.0f), "\x00\x00\x80\x3F"s},
      {"double", arg::Double(1.0), "\0\0\0\0\0\0\xF0\x3F"s},
      {"boolean", arg::Boolean(true), "\x01\0\0\0"s},
      {"date-time", arg::DateTime(2.0), "\0\0\0\0\0\0\x00\x40"s},
      {"text array", arg::Array(kTagText, texts.block()), "ab\0c\0"s},
      {"int array", arg::Array(kTagInt, ints), "\x04\x03\x02\x01\x07\0\0\0"s},
      {"byte-set array", arg::Array(kTagByteSet, bsArray), "\x01\x02"s},
      {"another buffer", other.AsArg(), "zz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameBuffer b;
    EXPECT_TRUE(b.Call(kBufferAppend, {c.value}).as_int());
    EXPECT_EQ(b.Content(), c.bytes);
  }
  Release(bsArray);
}

TEST(BufferObject, AppendIsAllOrNothing) {
  FrameBuffer b;
  ASSERT_TRUE(b.Call(kBufferAppend, {arg::Text("x")}).as_int());
  struct Case {
    const char* name;
    std::vector<TypedArg> values;
  } failing[] = {
      {"empty byte-set", {arg::ByteSet(nullptr)}},
      {"empty byte-set after a good value", {arg::Text("ab"), arg::ByteSet(nullptr)}},
      {"unknown kind", {arg::Int(1), TypedArg{0, 0, 0x00010030}}},
      {"no value", {}},
  };
  for (const Case& c : failing) {
    SCOPED_TRACE(c.name);
    std::vector<TypedArg> args{b.Self()};
    args.insert(args.end(), c.values.begin(), c.values.end());
    EXPECT_FALSE(CallLibraryCommand(kBufferAppend, static_cast<int>(args.size()), args.data()).as_int());
    EXPECT_EQ(b.Content(), "x\0"s);
  }
  EXPECT_TRUE(b.Call(kBufferAppend, {arg::Byte('1'), arg::Text("2")}).as_int());
  EXPECT_EQ(b.Content(), "x\0" "12\0"s);
}

TEST(BufferObject, InsertPositions) {
  struct Case {
    std::int32_t position;
    bool ok;
    std::string result;
  } cases[] = {
      {1, true, "XYabcd"}, {0, true, "XYabcd"},  {3, true, "abXYcd"}, {5, true, "abcdXY"},
      {6, false, "abcd"},  {-1, true, "abcXYd"}, {-4, true, "XYabcd"}, {-5, false, "abcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    Buffer b;
    b.AppendBytes("abcd");
    EXPECT_EQ(b.Insert(c.position, {arg::Byte('X'), arg::Byte('Y')}), c.ok);
    EXPECT_EQ(b.view(), c.result);
  }
}

TEST(BufferObject, RemoveRanges) {
  struct Case {
    std::int32_t start, count;
    bool ok;
    std::string result;
  } cases[] = {
      {2, 2, true, "ade"},  {1, 5, true, ""},      {4, 100, true, "abc"}, {2, 0, true, "abcde"},
      {9, 0, true, "abcde"}, {2, -1, false, "abcde"}, {6, 1, false, "abcde"}, {-2, 1, true, "abce"},
      {-6, 1, false, "abcde"}, {0, 1, true, "bcde"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.start << "," << c.count);
    FrameBuffer b;
    b.Call(kBufferAppend, {arg::ByteSet(ByteSet("abcde").block())});
    EXPECT_EQ(b.Call(kBufferRemove, {arg::Int(c.start), arg::Int(c.count)}).as_int() != 0, c.ok);
    EXPECT_EQ(b.Content(), c.result);
  }
}

TEST(BufferObject, GetBytes) {
  struct Case {
    std::optional<std::int32_t> start, count;
    std::string result;
  } cases[] = {
      {2, 1, "b"}, {4, {}, ""}, {{}, {}, "abc"}, {2, {}, "bc"}, {-1, {}, "c"},
      {1, 0, ""},  {1, -1, "abc"}, {1, 99, "abc"}, {-4, {}, ""},
  };
  for (const Case& c : cases) {
    Buffer b;
    b.AppendBytes("abc");
    EXPECT_EQ(b.GetBytes(c.start, c.count).view(), c.result);
  }
  Buffer empty;
  EXPECT_TRUE(empty.GetBytes().empty());
}

TEST(BufferObject, FindForwardAndReverse) {
  const std::string hay = "ab\r\nab\r\n";
  struct Case {
    std::string needle;
    std::optional<std::int32_t> start;
    std::int32_t forward, reverse;
  } cases[] = {
      {"\r\n", {}, 3, 7},    {"\r\n", 3, 3, -1}, {"\r\n", 4, 7, 3},  {"ab", 2, 5, 1},
      {"a", -4, 5, 5},       {"a", -5, 5, 1},       {"zz", {}, -1, -1}, {"", {}, -1, -1},   {"\r\n", 9, -1, -1},
      {"ab\r\nab\r\nX", {}, -1, -1}, {"b", 0, 2, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.needle.size() << " start " << c.start.value_or(-99));
    FrameBuffer b;
    b.Call(kBufferAppend, {arg::ByteSet(ByteSet(hay).block())});
    ByteSet needle(c.needle);
    TypedArg start = c.start ? arg::Int(*c.start) : arg::Omitted();
    EXPECT_EQ(b.Call(kBufferFind, {arg::ByteSet(needle.block()), start}).as_int(), c.forward);
    EXPECT_EQ(b.Call(kBufferFindReverse, {arg::ByteSet(needle.block()), start}).as_int(), c.reverse);
  }
  // A text value is searched with its NUL.
  Buffer t;
  t.Append({arg::Text("ab"), arg::Text("ab")});
  EXPECT_EQ(t.Find("b\0a"s), 2);
  FrameBuffer f;
  f.Call(kBufferAppend, {t.AsArg()});
  EXPECT_EQ(f.Call(kBufferFind, {arg::Text("ab"), arg::Int(2)}).as_int(), 4);
  Buffer empty;
  EXPECT_EQ(empty.FindReverse("a"), -1);
}

TEST(BufferObject, CapacityRule) {
  Buffer b;
  b.AppendBytes("x");
  EXPECT_EQ(b.header()->capacity, 10240u);
  b.AppendBytes(std::string(10239, 'y'));
  EXPECT_EQ(b.header()->capacity, 10240u);
  b.AppendBytes("z");
  EXPECT_EQ(b.header()->capacity, 10241u + 10240u);
  EXPECT_FALSE(buffer::Reserve(b.header(), 0x7FFFFFFFull));
  EXPECT_EQ(b.Length(), 10241);
  b.Clear();
  EXPECT_EQ(b.Length(), 0);
  EXPECT_EQ(b.header()->capacity, 20481u);  // the block is kept
}

TEST(BufferObject, CopyIsIndependentAndSelfAppendIsSafe) {
  FrameBuffer a;
  a.Call(kBufferAppend, {arg::Text("hi")});
  void* copySlot = nullptr;
  TypedArg copy = SlotArg(&copySlot);
  CallLibraryCommand(kBufferCopy, {copy, a.Self()});
  a.Call(kBufferClear, {});
  EXPECT_EQ(CallLibraryCommand(kBufferLength, {copy}).as_int(), 3);
  EXPECT_EQ(CallLibraryCommand(kBufferAppend, {copy, copy}).as_int(), 1);
  EXPECT_EQ(TakeByteSet(CallLibraryCommand(kBufferGetBytes, {copy})).view(), "hi\0hi\0"s);
  CallLibraryCommand(kBufferFree, {copy});
  EXPECT_EQ(copySlot, nullptr);

  Buffer big;
  big.AppendBytes(std::string(10240, 'q'));
  EXPECT_TRUE(big.AppendBytes(big.view()));  // grows while reading itself
  EXPECT_EQ(big.view(), std::string(20480, 'q'));
}

TEST(BufferObject, CallsOnAMissingBufferFailQuietly) {
  TypedArg none;
  none.tag = kTagBuffer;  // a variable pointer of null
  void* emptySlot = nullptr;
  for (const TypedArg& self : {none, SlotArg(&emptySlot), arg::Int(5)}) {
    EXPECT_EQ(CallLibraryCommand(kBufferLength, {self}).as_int(), 0);
    EXPECT_EQ(CallLibraryCommand(kBufferAppend, {self, arg::Text("a")}).as_int(), 0);
    EXPECT_EQ(CallLibraryCommand(kBufferFind, {self, arg::Text("a")}).as_int(), -1);
    EXPECT_EQ(CallLibraryCommand(kBufferGetBytes, {self}).pointer(), nullptr);
  }
}

// Paths are the program's GBK texts, like those of the file commands: a
// folder with a Chinese name must be found under its file-system name.
class BufferFile : public tl::testing::TempDirTest {};

TEST_F(BufferFile, LoadFileReplacesTheContentOrChangesNothing) {
  std::filesystem::create_directories(dir_ / U8("配置目录"));
  const std::string content = "a\0b\r\n"s + std::string(30000, 'k');
  Put("配置目录/设置.ini", content);
  FrameBuffer b;
  b.Call(kBufferAppend, {arg::Text("old")});
  const std::string path = Path(tl::testing::Gbk("配置目录/设置.ini"));
  EXPECT_TRUE(b.Call(kBufferLoadFile, {arg::Text(path.c_str())}).as_int());
  EXPECT_EQ(b.Content(), content);
  for (const char* bad : {"", "/nonexistent/dir/file", "/"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(b.Call(kBufferLoadFile, {arg::Text(bad)}).as_int());
    EXPECT_EQ(b.Content(), content);
  }
}

}  // namespace
}  // namespace tl::rt
