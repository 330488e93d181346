// Files the store did not write: random bytes, NULs, stray brackets, many
// sections, a large file. Nothing may crash, and every write must still
// leave the file equal to the buffer.
#include <random>

#include "store_fixture.h"

namespace tl::testing {
namespace {

using settings::SettingsStore;

class StoreHostile : public StoreTest {};

TEST_F(StoreHostile, OddSmallFiles) {
  std::mt19937 rng(99);
  std::string random(4096, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  std::string brackets;
  for (int i = 0; i < 2000; ++i) brackets += "[\r\n]=\r"[rng() % 7];
  struct Case {
    const char* name;
    std::string file;
  } cases[] = {
      {"random bytes", random},
      {"NULs", std::string("[S]\r\nA=a\0b\r\n\0\0[T]\0", 18)},
      {"a lone [", "["},
      {"a lone ]", "]"},
      {"only CR LF", "\r\n\r\n"},
      {"brackets and line breaks", brackets},
      {"header without end", "[S"},
      {"lead byte at the end", "[S]\r\nA=\xD6"},
      {"section name with CR LF inside", "[S\r\n]\r\nA=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put("Tidyline.ini", c.file);
    SettingsStore store;
    ASSERT_TRUE(store.Open(Ini(), 0));
    EXPECT_EQ(store.Content(), c.file);
    for (const char* section : {"S", "T", "", "[", "S\r\n"}) {
      store.SelectSection(section);
      (void)store.GetTextValue("A", "d");
      (void)store.GetNumberValue("A", 1);
      EXPECT_TRUE(store.SetTextValue("A", "v"));
      EXPECT_EQ(store.GetTextValue("A", "d").view(), "v");
      ExpectDiskMatches(store);
    }
  }
  // A NUL inside a value ends the text that is read.
  Put("Tidyline.ini", std::string("[S]\r\nA=a\0b", 10));
  SettingsStore store;
  store.Open(Ini(), 0);
  store.SelectSection("S");
  EXPECT_EQ(store.GetTextValue("A", "d").view(), "a");
}

TEST_F(StoreHostile, TenThousandSections) {
  std::string file;
  for (int i = 0; i < 10000; ++i) {
    if (i) file += "\r\n";
    file += "[S" + std::to_string(i) + "]\r\nK=" + std::to_string(i);
  }
  Put("Tidyline.ini", file);
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  for (int i : {0, 1, 4999, 9999}) {
    store.SelectSection("S" + std::to_string(i));
    EXPECT_EQ(store.GetNumberValue("K", -1), i);
  }
  store.SelectSection("S5000");
  EXPECT_TRUE(store.SetTextValue("K", "changed"));
  store.SelectSection("S10000");
  EXPECT_TRUE(store.SetTextValue("K", "new"));
  ExpectDiskMatches(store);
  std::string expected = file;
  expected.replace(expected.find("[S5000]\r\nK=5000") + 11, 4, "changed");
  expected += "\r\n[S10000]\r\nK=new";
  EXPECT_EQ(Disk(), expected);
}

TEST_F(StoreHostile, FiftyMegabytes) {
  std::string file = "[S]\r\nA=1\r\n";
  std::string filler(50u << 20, 'x');
  for (std::size_t i = 0; i < filler.size(); i += 97) filler[i] = i % 3 ? '[' : '\n';
  file += filler;
  file += "\r\n[T]\r\nB=2";
  Put("Tidyline.ini", file);
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  store.SelectSection("T");
  EXPECT_EQ(store.GetTextValue("B", "d").view(), "2");
  store.SelectSection("S");
  EXPECT_EQ(store.GetTextValue("A", "d").view(), "1");
  // A longer value at the front moves the whole tail of the file.
  EXPECT_TRUE(store.SetTextValue("A", "longer value"));
  store.Close();
  std::string disk = Disk();
  ASSERT_EQ(disk.size(), file.size() + 11);
  EXPECT_EQ(disk.compare(0, 21, "[S]\r\nA=longer value\r\n"), 0);
  EXPECT_EQ(disk.compare(21, std::string::npos, file, 10, std::string::npos), 0);
}

}  // namespace
}  // namespace tl::testing
