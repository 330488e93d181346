// Settings files the store did not write itself (LF line breaks, a stray
// blank after a header, a byte-order mark), paths with two-byte characters,
// and an Open with an unknown mode: none of them may cost a user a setting.
#include "runtime/core/gbk_view.h"
#include "runtime/os/files.h"
#include "runtime/commands/registry.h"
#include "store_fixture.h"

namespace tl::testing {
namespace {

using settings::SettingsStore;

// GBK bytes of a UTF-8 text in which "<BOM>" stands for the UTF-8 mark.
std::string Bytes(std::string_view utf8) {
  std::string out = G(utf8);
  for (std::size_t at; (at = out.find("<BOM>")) != std::string::npos;) out.replace(at, 5, "\xEF\xBB\xBF");
  return out;
}

struct Set {
  std::string section, key, value;  // UTF-8
};

class StoreHandEdited : public StoreTest {};

TEST_F(StoreHandEdited, WritesKeepTheFilesShape) {
  const struct {
    const char* name;
    std::string initial;
    std::vector<Set> sets;
    std::string expected;
  } cases[] = {
      // LF line breaks: the file stays LF, no entry is swallowed.
      {"an LF file keeps its entries", "[基本配置]\n去重=真\n打乱=真", {{"基本配置", "打乱", "假"}},
       "[基本配置]\n去重=真\n打乱=假"},
      {"an LF file gets LF entries", "[S]\nA=1", {{"S", "B", "2"}}, "[S]\nB=2\nA=1"},
      {"an LF file gets LF sections", "[S]\nA=1\n", {{"T", "B", "2"}}, "[S]\nA=1\n\n[T]\nB=2"},
      {"line breaks in an LF file's values are marked", "[S]\nA=1", {{"S", "A", "x\r\ny\nz"}},
       "[S]\nA=x┊*┊y┊*┊z"},
      {"one CR LF makes it a CR LF file", "[S]\nA=1\r\n[T]\r\nB=2", {{"T", "B", "3"}},
       "[S]\nA=1\r\n[T]\r\nB=3"},
      {"a lone LF in a CR LF file's value stays", "[S]\r\nA=a\nb", {{"S", "B", "2"}}, "[S]\r\nB=2\r\nA=a\nb"},
      // A blank after a header: it is still the header of the keys below.
      {"a blank after a header", "[S]\r\nA=1\r\n[T] \r\nB=2", {{"S", "B", "9"}, {"T", "B", "3"}},
       "[S]\r\nB=9\r\nA=1\r\n[T] \r\nB=3"},
      {"a tab after a header", "[S]\r\nA=1\r\n[T]\t\r\nB=2", {{"T", "B", "3"}}, "[S]\r\nA=1\r\n[T]\t\r\nB=3"},
      {"a new key under a header with a blank", "[T] \r\nB=2", {{"T", "C", "1"}}, "[T]\r\nC=1\r\nB=2"},
      {"text after a header's bracket makes no header", "[S]\r\nA=1\r\n[T]x\r\nB=2", {{"S", "B", "9"}},
       "[S]\r\nA=1\r\n[T]x\r\nB=9"},
      // A byte-order mark: the first header is found behind it.
      {"behind a byte-order mark", "<BOM>[基本配置]\r\n去重=真", {{"基本配置", "打乱", "假"}},
       "<BOM>[基本配置]\r\n打乱=假\r\n去重=真"},
      {"a byte-order mark alone", "<BOM>", {{"S", "A", "1"}}, "<BOM>[S]\r\nA=1"},
      {"a byte-order mark and LF", "<BOM>[S]\nA=1", {{"S", "A", "2"}}, "<BOM>[S]\nA=2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Put("Tidyline.ini", Bytes(c.initial));
    SettingsStore store;
    ASSERT_TRUE(store.Open(Ini(), 0));
    for (const Set& s : c.sets) {
      store.SelectSection(G(s.section));
      EXPECT_TRUE(store.SetTextValue(G(s.key), G(s.value)));
      ExpectDiskMatches(store);
    }
    EXPECT_EQ(Utf8(Disk()), Utf8(Bytes(c.expected)));
    EXPECT_EQ(Disk().starts_with("\xEF\xBB\xBF"), c.expected.starts_with("<BOM>"));
  }
}

TEST_F(StoreHandEdited, ReadsSeeTheKeysOfTheirOwnSection) {
  const struct {
    const char* name;
    std::string file, section, key, expected;
  } cases[] = {
      {"an LF file", "[基本配置]\n去重=真\n打乱=假", "基本配置", "去重", "真"},
      {"an LF file's last value", "[基本配置]\n去重=真\n打乱=假", "基本配置", "打乱", "假"},
      {"an LF file's later section", "[S]\nA=1\n[T]\nA=2", "T", "A", "2"},
      {"an LF file: a key of a later section", "[S]\nX=1\n[T]\nA=2", "S", "A", "default"},
      {"a CR LF file reads as before", "[S]\r\nA=a\nb\r\nB=1", "S", "A", "a\nb"},
      {"a blank after a header: not the earlier section's key", "[S]\r\nA=1\r\n[T] \r\nB=2", "S", "B", "default"},
      {"a blank after a header: its own key", "[S]\r\nA=1\r\n[T] \r\nB=2", "T", "B", "2"},
      {"a key that starts with a bracket is no header", "[S]\r\n[K]=1\r\nA=2", "S", "A", "2"},
      {"nor is one whose value ends with a bracket", "[S]\r\n[K]=[v]x\r\nA=2", "S", "A", "2"},
      {"behind a byte-order mark", "<BOM>[基本配置]\r\n去重=假", "基本配置", "去重", "假"},
      {"a byte-order mark elsewhere is text", "x\r\n<BOM>[S]\r\nA=1", "S", "A", "default"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Put("Tidyline.ini", Bytes(c.file));
    SettingsStore store;
    store.Open(Ini(), 0);
    store.SelectSection(G(c.section));
    EXPECT_EQ(Utf8(store.GetTextValue(G(c.key), "default").view()), c.expected);
    store.Close();
    EXPECT_EQ(Disk(), Bytes(c.file)) << "reading changed the file";
  }
}

// The registry prefix and the binary side store split the settings path at
// its last separator, stepping over two-byte characters. On Windows 乗 (81 5C)
// ends in the separator byte; on Linux no GBK character does, and a high
// byte before '/' (below 0x30, never a trail byte) stands alone.
TEST_F(StoreHandEdited, PathsAreSplitCharacterByCharacter) {
  const std::string sep(1, rt::fileio::kSeparator);
  const std::string pair = std::string("\x81") + sep;
  const bool sepCanTrail = gbk::CanTrail(sep[0]);
  const struct {
    const char* name;
    std::string path;  // GBK
    std::string base;  // GBK
  } cases[] = {
      {"a plain path", dir_.string() + sep + "Tidyline.ini", "Tidyline"},
      {"a two-byte character in the folder and the name", dir_.string() + sep + G("乗") + sep + G("乗.ini"), G("乗")},
      {"a lead byte before the separator", "x" + pair + "y.ini", sepCanTrail ? "x" + pair + "y" : std::string("y")},
      {"a lead byte before the separator, in a folder", "C:" + sep + "d" + pair + sep + "n.ini", "n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsStore store;
    store.Open(c.path, 2);
    EXPECT_EQ(store.SelectSection("S").view(), G("Lumora软件\\") + c.base + "\\S\\");
  }
  // The side store's folder is the settings file's own; a section or key with
  // a two-byte character is a name, not a path.
  std::filesystem::create_directories(dir_ / U8(Utf8(G("乗"))));
  const std::string ini = dir_.string() + sep + G("乗") + sep + "Tidyline.ini";
  SettingsStore store;
  ASSERT_TRUE(store.Open(ini, 0));
  store.SelectSection(G("乗"));
  EXPECT_TRUE(store.SetBinaryValue(G("乗"), "bytes"));
  EXPECT_EQ(Slurp(dir_ / U8(Utf8(G("乗"))) / "inibin" / U8(Utf8(G("乗-乗.ibn")))), "bytes");
  EXPECT_FALSE(store.SetBinaryValue("a" + sep + "b", "x")) << "a separator would leave the folder";
  EXPECT_FALSE(store.SetBinaryValue(std::string("\x81\0", 2) + sep, "x")) << "nor behind a lone lead byte";
}

// An Open with an unknown mode leaves nothing open: the next setters neither
// reach the file nor the registry of the Open before it.
TEST_F(StoreHandEdited, OpenWithAnUnknownModeClosesThePreviousOne) {
  for (int bad : {3, -1, 7}) {
    SCOPED_TRACE(bad);
    for (int before : {0, 2}) {
      UseTestRegistry(Path("registry" + std::to_string(bad) + std::to_string(before)));
      std::filesystem::remove(Ini());
      SettingsStore store;
      ASSERT_TRUE(store.Open(Ini(), before));
      store.SelectSection("S");
      ASSERT_TRUE(store.SetTextValue("K", "first"));
      const std::string disk = Disk();
      EXPECT_FALSE(store.Open(Ini(), bad));
      EXPECT_EQ(store.FileNumber(), 0);
      EXPECT_FALSE(store.SetTextValue("K", "second"));
      store.Close();
      EXPECT_EQ(Disk(), disk);
      EXPECT_EQ(rt::ReadRegistryText(1, G("Lumora软件\\Tidyline\\S\\K"), std::nullopt).view(),
                before == 2 ? "first" : "");
    }
  }
  EndTestRegistry();
}

}  // namespace
}  // namespace tl::testing
