// The system registry of Windows through the registry seam (Linux keeps a
// file store of its own, tested in registry_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "runtime/os/registry.h"
#include "support/gbk.h"

namespace tl::os {
namespace {

using rt::RegistryType;
using rt::RegistryValue;

TEST(SystemRegistry, ValuesRoundTripThroughTheRealRegistry) {
#ifndef _WIN32
  GTEST_SKIP() << "Linux has no system registry";
#else
  constexpr int kCurrentUser = 3;
  const std::string key = "Software\\TidylineTest\\" + test::Gbk("子键");
  const struct {
    const char* name;
    RegistryValue value;
  } cases[] = {
      {"text", {RegistryType::kText, test::Gbk("中文") + std::string(1, '\0')}},
      {"number", {RegistryType::kDword, std::string("\x2a\x00\x00\x80", 4)}},
      {"bytes", {RegistryType::kBinary, std::string("\x00\x1a\xff", 3)}},
      {"expand", {RegistryType::kExpandText, std::string("%NO_SUCH_VAR%\0", 14)}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteRegistry(kCurrentUser, key, c.name, c.value)) << c.name;
    auto back = ReadRegistry(kCurrentUser, key, c.name);
    ASSERT_TRUE(back) << c.name;
    EXPECT_EQ(back->type, c.value.type) << c.name;
    EXPECT_EQ(back->data, c.value.data) << c.name;
  }
  EXPECT_FALSE(ReadRegistry(kCurrentUser, key, "missing"));
  EXPECT_FALSE(ReadRegistry(kCurrentUser, "Software\\TidylineTest\\NoSuchKey", "text"));
  EXPECT_FALSE(ReadRegistry(9, key, "text")) << "no such root";
  EXPECT_FALSE(WriteRegistry(9, key, "text", cases[0].value));
#endif
}

}  // namespace
}  // namespace tl::os
