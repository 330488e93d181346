// The registry commands over the system's registry: on Linux our own file
// store (in a scratch folder), on Windows the real registry (under wine, the
// test prefix's), below a key of each test's own under
// HKEY_CURRENT_USER\Software that is deleted afterwards.
#ifdef _WIN32
#include <windows.h>
#endif
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "runtime/commands/registry.h"
#include "runtime/os/registry.h"
#ifndef _WIN32
#include "runtime/os/posix_registry_store.h"
#endif
#include "support/env.h"
#include "support/gbk.h"
#include "support/paths.h"
#include "support/temp_dir.h"

namespace tl::rt {
namespace {

using namespace std::string_literals;

[[maybe_unused]] std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Registry : public testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\TidylineTest-"s + testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
            std::to_string(std::random_device{}());
#ifndef _WIN32
    dir_ = tl::test::MakeTempDir("tl_registry_");
    ASSERT_FALSE(dir_.empty());
    SetRegistryDirectory(dir_.string());
#endif
  }
  void TearDown() override {
#ifdef _WIN32
    // Every root a test may have written through (classes root included).
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) RegDeleteTreeA(root, base_.c_str());
#else
    SetRegistryDirectory("");
    std::filesystem::remove_all(dir_);
#endif
  }
  // An item path below the test's own key.
  std::string K(std::string_view path) const { return base_ + "\\" + std::string(path); }
  std::string Read(int root, std::string_view path, const char* def = nullptr) {
    TypedArg d = def ? arg::Text(def) : arg::Omitted();
    const std::string item = K(path);
    return std::string(TakeText(CallCommand(kReadRegistryText, {arg::Int(root), arg::Text(item.c_str()), d})).view());
  }
  bool Write(int root, std::string_view path, TypedArg value) {
    const std::string item = K(path);
    return CallCommand(kWriteRegistryItem, {arg::Int(root), arg::Text(item.c_str()), value}).as_int() != 0;
  }
  std::string base_;
  std::filesystem::path dir_;
};

TEST_F(Registry, TextRoundTripAndDefaults) {
  EXPECT_EQ(Read(3, "Soft\\App\\Name", "dflt"), "dflt");
  EXPECT_EQ(Read(3, "Soft\\App\\Name"), "");
  ASSERT_TRUE(Write(3, "Soft\\App\\Name", arg::Text("value \xD6\xD0")));
  EXPECT_EQ(Read(3, "Soft\\App\\Name", "dflt"), "value \xD6\xD0");
  EXPECT_EQ(Read(3, "SOFT\\app\\NAME", "dflt"), "value \xD6\xD0");  // case-insensitive
  ASSERT_TRUE(Write(3, "soft\\APP\\name", arg::Text("")));
  EXPECT_EQ(Read(3, "Soft\\App\\Name", "dflt"), "");  // present and empty is not missing
}

// A path without "\\" names a value of the root itself; on Windows that would
// write outside the test's own key.
TEST_F(Registry, ValueUnderTheRootItself) {
  if (tl::test::kWindows) GTEST_SKIP() << "would write a value into HKEY_CURRENT_USER itself";
  ASSERT_TRUE(WriteRegistryItem(3, "TopLevel", arg::Text("root value")));
  EXPECT_EQ(std::string(ReadRegistryText(3, "TopLevel", std::nullopt).view()), "root value");
}

TEST_F(Registry, ValueKindsAndTheirTypes) {
  ByteSet bytes("\x00\x01\xFF"s);
  struct Case {
    const char* name;
    TypedArg value;
    bool written;
    RegistryType type;
    std::string data;
  } cases[] = {
      {"int", arg::Int(0x01020304), true, RegistryType::kDword, "\x04\x03\x02\x01"},
      {"byte", arg::Byte(7), true, RegistryType::kDword, "\x07\0\0\0"s},
      {"double truncated", arg::Double(-2.9), true, RegistryType::kDword, "\xFE\xFF\xFF\xFF"},
      {"text with NUL", arg::Text("ab"), true, RegistryType::kText, "ab\0"s},
      {"byte-set", arg::ByteSet(bytes.block()), true, RegistryType::kBinary, "\x00\x01\xFF"s},
      {"boolean", arg::Boolean(true), false, {}, ""},
      {"date-time", arg::DateTime(1.0), false, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = "K\\"s + c.name;
    EXPECT_EQ(Write(3, path, c.value), c.written);
    auto v = tl::os::ReadRegistry(3, K("K"), c.name);
    ASSERT_EQ(v.has_value(), c.written);
    if (!v) continue;
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->data, c.data);
    // Only text kinds read back as text.
    bool isText = c.type == RegistryType::kText;
    EXPECT_EQ(Read(3, path, "D"), isText ? c.data.substr(0, c.data.size() - 1) : "D");
  }
}

TEST_F(Registry, RootsAreSeparateFilesAndUnknownCodesMeanCurrentUser) {
  ASSERT_TRUE(Write(1, "K\\V", arg::Text("classes")));
  ASSERT_TRUE(Write(0, "K\\V", arg::Text("user")));
  EXPECT_EQ(Read(1, "K\\V"), "classes");
  EXPECT_EQ(Read(3, "K\\V"), "user");
  EXPECT_EQ(Read(99, "K\\V"), "user");
  EXPECT_EQ(Read(4, "K\\V", "none"), "none");
#ifndef _WIN32
  // One file per root in our own store.
  EXPECT_TRUE(std::filesystem::exists(RegistryRootFile(1)));
  EXPECT_TRUE(std::filesystem::exists(RegistryRootFile(3)));
  EXPECT_FALSE(std::filesystem::exists(RegistryRootFile(4)));
#endif
}

TEST_F(Registry, ExpandableTextExpandsEnvironment) {
  const tl::test::ScopedEnv set("TL_REGISTRY_TEST_VAR", "/opt/x");
  const tl::test::ScopedEnv unset("TL_REGISTRY_TEST_UNSET", std::nullopt);
  ASSERT_TRUE(tl::os::WriteRegistry(3, K("E"), "v",
                          {RegistryType::kExpandText, "%TL_REGISTRY_TEST_VAR%/bin;%TL_REGISTRY_TEST_UNSET%;50%\0"s}));
  EXPECT_EQ(Read(3, "E\\v"), "/opt/x/bin;%TL_REGISTRY_TEST_UNSET%;50%");
  EXPECT_EQ(ExpandEnvironmentReferences("%%TL_REGISTRY_TEST_VAR%%"), "%/opt/x%");
}

// "乗" is 0x81 0x5C, and 0x5C is "\\": keys and names are cut at whole
// backslashes only.
TEST_F(Registry, TwoByteCharactersEndingInTheBackslashByte) {
  const std::string name = tl::test::Gbk("名乗"), key = tl::test::Gbk("键乗");
  ASSERT_TRUE(Write(3, "K\\" + name, arg::Text("value")));
  auto v = tl::os::ReadRegistry(3, K("K"), name);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->data, "value\0"s);
  EXPECT_EQ(Read(3, "K\\" + name), "value");
  ASSERT_TRUE(Write(3, key + "\\" + name, arg::Text("in the key")));
  v = tl::os::ReadRegistry(3, K(key), name);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->data, "in the key\0"s);
}

TEST_F(Registry, EmptyKeyComponentsAreRefused) {
  for (const char* path : {"A\\\\B\\V", "A\\\\V"}) {
    EXPECT_FALSE(Write(3, path, arg::Text("x"))) << path;
    EXPECT_EQ(Read(3, path, "d"), "d") << path;
  }
}

TEST_F(Registry, DamagedFilesFailWithoutDamage) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows keeps the real registry, not our files";
#else
  ASSERT_TRUE(Write(3, "A\\V", arg::Text("kept")));
  std::string path = RegistryRootFile(3);
  for (std::string damaged : {"garbage"s, "TLREG 1\n1 5 1 3\nAB"s, "TLREG 1\n9 1 1 1\nabc\n"s}) {
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged; }
    EXPECT_EQ(Read(3, "A\\V", "d"), "d");
    EXPECT_FALSE(Write(3, "A\\W", arg::Text("new")));
    EXPECT_EQ(Slurp(path), damaged);
  }
  { std::ofstream(path, std::ios::binary | std::ios::trunc); }  // an empty file holds nothing to lose
  EXPECT_TRUE(Write(3, "A\\W", arg::Text("new")));
  EXPECT_EQ(Read(3, "A\\W"), "new");
#endif
}

TEST_F(Registry, ManyValuesPersistAcrossStores) {
  // The current configuration's file on Linux; the test's key is the
  // current user's on Windows.
  const int root = tl::test::kWindows ? 3 : 2;
  for (int i = 0; i < 50; ++i) {
    std::string path = "Many\\k" + std::to_string(i);
    std::string value = "v\r\n" + std::to_string(i * i);
    ASSERT_TRUE(Write(root, path, arg::Text(value.c_str())));
  }
  ASSERT_TRUE(Write(root, "Many\\k7", arg::Text("changed")));
  for (int i = 0; i < 50; ++i) {
    std::string path = "Many\\k" + std::to_string(i);
    EXPECT_EQ(Read(root, path), i == 7 ? "changed" : "v\r\n" + std::to_string(i * i));
  }
}

}  // namespace
}  // namespace tl::rt
