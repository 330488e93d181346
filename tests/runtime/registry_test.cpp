#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/commands/registry.h"
#include "runtime/os/posix_registry_store.h"

namespace tl::rt {
namespace {

using namespace std::string_literals;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Registry : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tl_registry_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    SetRegistryDirectory(dir_.string());
  }
  void TearDown() override {
    SetRegistryDirectory("");
    std::filesystem::remove_all(dir_);
  }
  std::string Read(int root, const char* path, const char* def = nullptr) {
    TypedArg d = def ? arg::Text(def) : arg::Omitted();
    return std::string(TakeText(CallCommand(kReadRegistryText, {arg::Int(root), arg::Text(path), d})).view());
  }
  bool Write(int root, const char* path, TypedArg value) {
    return CallCommand(kWriteRegistryItem, {arg::Int(root), arg::Text(path), value}).as_int() != 0;
  }
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
  ASSERT_TRUE(Write(3, "TopLevel", arg::Text("root value")));
  EXPECT_EQ(Read(3, "TopLevel"), "root value");
}

TEST_F(Registry, ValueKindsAndTheirTypes) {
  FileRegistry store;
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
    EXPECT_EQ(Write(1, path.c_str(), c.value), c.written);
    auto v = store.Read(1, "K", c.name);
    ASSERT_EQ(v.has_value(), c.written);
    if (!v) continue;
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->data, c.data);
    // Only text kinds read back as text.
    bool isText = c.type == RegistryType::kText;
    EXPECT_EQ(Read(1, path.c_str(), "D"), isText ? c.data.substr(0, c.data.size() - 1) : "D");
  }
}

TEST_F(Registry, RootsAreSeparateFilesAndUnknownCodesMeanCurrentUser) {
  ASSERT_TRUE(Write(1, "K\\V", arg::Text("classes")));
  ASSERT_TRUE(Write(0, "K\\V", arg::Text("user")));
  EXPECT_EQ(Read(1, "K\\V"), "classes");
  EXPECT_EQ(Read(3, "K\\V"), "user");
  EXPECT_EQ(Read(99, "K\\V"), "user");
  EXPECT_EQ(Read(4, "K\\V", "none"), "none");
  EXPECT_TRUE(std::filesystem::exists(RegistryRootFile(1)));
  EXPECT_TRUE(std::filesystem::exists(RegistryRootFile(3)));
  EXPECT_FALSE(std::filesystem::exists(RegistryRootFile(4)));
}

TEST_F(Registry, ExpandableTextExpandsEnvironment) {
  ::setenv("TL_REGISTRY_TEST_VAR", "/opt/x", 1);
  ::unsetenv("TL_REGISTRY_TEST_UNSET");
  FileRegistry store;
  ASSERT_TRUE(store.Write(3, "E", "v",
                          {RegistryType::kExpandText, "%TL_REGISTRY_TEST_VAR%/bin;%TL_REGISTRY_TEST_UNSET%;50%\0"s}));
  EXPECT_EQ(Read(3, "E\\v"), "/opt/x/bin;%TL_REGISTRY_TEST_UNSET%;50%");
  EXPECT_EQ(ExpandEnvironmentReferences("%%TL_REGISTRY_TEST_VAR%%"), "%/opt/x%");
}

TEST_F(Registry, InvalidKeysAndDamagedFilesFailWithoutDamage) {
  EXPECT_FALSE(Write(3, "A\\\\B\\V", arg::Text("x")));  // empty key component
  EXPECT_EQ(Read(3, "A\\\\B\\V", "d"), "d");
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
}

TEST_F(Registry, ManyValuesPersistAcrossStores) {
  for (int i = 0; i < 50; ++i) {
    std::string path = "Many\\k" + std::to_string(i);
    std::string value = "v\r\n" + std::to_string(i * i);
    ASSERT_TRUE(Write(2, path.c_str(), arg::Text(value.c_str())));
  }
  ASSERT_TRUE(Write(2, "Many\\k7", arg::Text("changed")));
  for (int i = 0; i < 50; ++i) {
    std::string path = "Many\\k" + std::to_string(i);
    EXPECT_EQ(Read(2, path.c_str()), i == 7 ? "changed" : "v\r\n" + std::to_string(i * i));
  }
}

}  // namespace
}  // namespace tl::rt
