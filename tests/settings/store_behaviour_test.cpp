// The store as the program lives with it: the file kept in step with the
// buffer, a second store reading it back, an independent INI reader, writes
// nested through the message loop, the give-up path, the other modes and the
// binary side store.
#include <cstdio>
#include <map>
#include <random>

#include "runtime/commands/files.h"
#include "runtime/core/message_pump.h"
#include "runtime/commands/registry.h"
#include "runtime/commands/text_commands.h"
#include "store_fixture.h"

namespace tl::testing {
namespace {

using settings::SettingsStore;

using StoreBehaviour = StoreTest;

TEST_F(StoreBehaviour, DiskFollowsEveryWriteAndASecondStoreReadsItBack) {
  std::mt19937 rng(1234);
  const std::vector<std::string> sections = {G("基本配置"), "S", "T]x", G("节 二")};
  const std::vector<std::string> keys = {G("分隔符"), "A", "k=", "[K]", G("键")};
  const std::vector<std::string> values = {"", "1", G("中文值"), G("两\r\n行"), "x=[y]", G("┊*┊"), "  sp  "};
  std::map<std::pair<std::string, std::string>, std::string> model;
  {
    SettingsStore store;
    ASSERT_TRUE(store.Open(Ini(), 0));
    for (int i = 0; i < 300; ++i) {
      const std::string& s = sections[rng() % sections.size()];
      const std::string& k = keys[rng() % keys.size()];
      const std::string& v = values[rng() % values.size()];
      store.SelectSection(s);
      ASSERT_TRUE(store.SetTextValue(k, v));
      // A literal mark reads back as a line break, as a stored line break does.
      model[{s, k}] = std::string(rt::ReplaceSubtext(v, G("┊*┊"), "\r\n", {}, {}, true).view());
      ASSERT_EQ(Disk(), store.Content()) << "after write " << i;
    }
  }
  SettingsStore second;
  ASSERT_TRUE(second.Open(Ini(), 0));
  for (auto& [sk, v] : model) {
    second.SelectSection(sk.first);
    EXPECT_EQ(second.GetTextValue(sk.second, "missing").view(), v);
  }
}

TEST_F(StoreBehaviour, PythonConfigParserReadsTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "reads the file with the host's Python, which the Windows test run has not";
#endif
  const std::vector<std::tuple<std::string, std::string, std::string>> entries = {
      {"基本配置", "分隔符", ","},       {"基本配置", "文件类型", "*.txt|*.csv"}, {"基本配置", "编码", "2"},
      {"基本配置", "去重", "真"},        {"其他", "路径", "C:\\数据\\in.txt"},     {"其他", "空", ""},
      {"其他", "多行", "甲\r\n乙"},      {"Third", "Key", "value with = sign"},
  };
  {
    SettingsStore store;
    ASSERT_TRUE(store.Open(Ini(), 0));
    for (auto& [s, k, v] : entries) {
      store.SelectSection(G(s));
      ASSERT_TRUE(store.SetTextValue(G(k), G(v)));
    }
  }
  const char* script =
      "import configparser, json, sys\n"
      "p = configparser.ConfigParser(interpolation=None, delimiters=('=',))\n"
      "p.optionxform = str\n"
      "data = open(sys.argv[1], encoding='gbk', newline='').read()\n"
      "assert '\\n' not in data.replace('\\r\\n', ''), 'bare line feed'\n"
      "p.read_string(data)\n"
      "out = {s: dict(p[s]) for s in p.sections()}\n"
      "sys.stdout.buffer.write(json.dumps(out, ensure_ascii=False, sort_keys=True).encode('utf-8'))\n";
  tl::test::RunResult run = tl::test::RunProgram("python3", {"-c", script, Ini()}, "");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string& json = run.out;
  // The store's own escape: the reader sees the mark, not a line break.
  EXPECT_EQ(json,
            "{\"Third\": {\"Key\": \"value with = sign\"}, "
            "\"其他\": {\"多行\": \"甲┊*┊乙\", \"空\": \"\", \"路径\": \"C:\\\\数据\\\\in.txt\"}, "
            "\"基本配置\": {\"分隔符\": \",\", \"去重\": \"真\", \"文件类型\": \"*.txt|*.csv\", \"编码\": \"2\"}}");
}

// --- Writes nested through the message loop --------------------------------

SettingsStore* g_store = nullptr;
std::vector<int> g_nestedResults;
std::vector<std::string> g_seenDuringWrite;
int g_pumpCalls = 0;

void NestedWritesPump() {
  if (++g_pumpCalls != 1 || !g_store->Busy()) return;
  g_seenDuringWrite.push_back(std::string(g_store->ReadEntry("S", "A", "none").view()));
  g_nestedResults.push_back(g_store->WriteEntry("S", "N1", "first"));
  g_nestedResults.push_back(g_store->SetTextValue("N2", "second") ? 1 : 0);
  g_nestedResults.push_back(g_store->WriteEntry("S", "A", "nested"));
  g_seenDuringWrite.push_back(std::to_string(g_store->PendingCount()));
}

TEST_F(StoreBehaviour, WritesArrivingDuringAWriteAreQueuedInOrder) {
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  store.SelectSection("S");
  ASSERT_TRUE(store.SetTextValue("A", "0"));
  g_store = &store;
  g_pumpCalls = 0;
  rt::PumpHandler old = rt::SetPumpHandler(NestedWritesPump);
  bool outer = store.SetTextValue("A", "outer");
  rt::SetPumpHandler(old);
  EXPECT_TRUE(outer);
  EXPECT_EQ(g_nestedResults, (std::vector<int>{settings::kWriteQueued, 0, settings::kWriteQueued}));
  // The read in the middle saw the buffer as it was; the queue held the
  // running write and the three that arrived.
  EXPECT_EQ(g_seenDuringWrite, (std::vector<std::string>{"0", "4"}));
  EXPECT_FALSE(store.Busy());
  EXPECT_EQ(store.PendingCount(), 0u);
  // Carried out after the outer write, oldest first: N1 before N2 (each new
  // key goes right after the header) and the nested A last.
  EXPECT_EQ(Disk(), "[S]\r\nN2=second\r\nN1=first\r\nA=nested");
  ExpectDiskMatches(store);
}

std::vector<std::tuple<std::string, int, std::string>> g_messages;
int RecordMessage(std::string_view text, int flags, std::string_view caption) {
  g_messages.emplace_back(std::string(text), flags, std::string(caption));
  return 0;
}

void ClosingPump() {
  if (g_store->Busy()) g_store->Close();
}

TEST_F(StoreBehaviour, AWriteThatCannotSettleGivesUpWithTwoMessages) {
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  store.SelectSection("S");
  g_store = &store;
  g_messages.clear();
  auto oldHook = settings::SetSettingsMessageHook(RecordMessage);
  // A handler that closes the store under every pass: the section never stays.
  auto oldPump = rt::SetPumpHandler(ClosingPump);
  EXPECT_FALSE(store.SetTextValue("A", "1"));
  rt::SetPumpHandler(oldPump);
  settings::SetSettingsMessageHook(oldHook);
  using Message = std::tuple<std::string, int, std::string>;
  EXPECT_EQ(g_messages, (std::vector<Message>{
                            {G("配置模块出现意外，可能导致无法正常保存！详情请咨询Lumora。"), 48 + 4096, G("Lumora：")},
                            {std::string(store.Content()), 0, G("信息：")}}));
  EXPECT_FALSE(store.Busy());
}

// --- Opening --------------------------------------------------------------

TEST_F(StoreBehaviour, OpenCreatesNeverTruncatesAndKeepsOthersFromWriting) {
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  EXPECT_TRUE(Exists("Tidyline.ini"));
  EXPECT_EQ(Disk(), "");
  store.SelectSection("S");
  store.SetTextValue("A", "1");
  // Another writer is kept out while the store holds the file; readers are not.
  EXPECT_EQ(rt::OpenFile(Ini(), 3, 1), 0);
  rt::FileNumber reader = rt::OpenFile(Ini(), 1, 1);
  EXPECT_NE(reader, 0);
  rt::CloseFile(reader);
  store.Close();
  SettingsStore again;
  ASSERT_TRUE(again.Open(Ini(), 0));
  EXPECT_EQ(Disk(), "[S]\r\nA=1");
}

TEST_F(StoreBehaviour, AFileThatCannotBeOpenedStillReadsButWritesReportFailure) {
  Put("Tidyline.ini", "[S]\r\nA=1");
  SettingsStore holder;
  ASSERT_TRUE(holder.Open(Ini(), 0));
  SettingsStore blocked;
  EXPECT_FALSE(blocked.Open(Ini(), 0));
  EXPECT_EQ(blocked.FileNumber(), 0);
  blocked.SelectSection("S");
  EXPECT_EQ(blocked.GetTextValue("A", "d").view(), "1");
  EXPECT_FALSE(blocked.SetTextValue("A", "2"));  // the buffer changes, the file cannot
  EXPECT_EQ(blocked.GetTextValue("A", "d").view(), "2");
  EXPECT_EQ(Disk(), "[S]\r\nA=1");

  // A directory in place of the file: nothing loads, nothing opens.
  std::filesystem::create_directory(Path("dir.ini"));
  SettingsStore dir;
  EXPECT_FALSE(dir.Open(Path("dir.ini"), 0));
  dir.SelectSection("S");
  EXPECT_EQ(dir.GetTextValue("A", "d").view(), "d");
  EXPECT_FALSE(dir.SetTextValue("A", "2"));
  EXPECT_TRUE(std::filesystem::is_directory(Path("dir.ini")));
  EXPECT_FALSE(dir.Open(Path("x.ini"), 7));
}

TEST_F(StoreBehaviour, AFileLostUnderTheStoreIsNoLongerWritten) {
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  store.SelectSection("S");
  ASSERT_TRUE(store.SetTextValue("A", "1"));
  rt::CloseFile(store.FileNumber());  // the number goes stale behind the store's back
  EXPECT_FALSE(store.SetTextValue("A", "2"));
  EXPECT_EQ(store.FileNumber(), 0);
  EXPECT_FALSE(store.SetTextValue("B", "3"));
  EXPECT_EQ(store.Content(), "[S]\r\nB=3\r\nA=2");
  EXPECT_EQ(Disk(), "[S]\r\nA=1");
}

TEST_F(StoreBehaviour, InMemoryModeLeavesTheFileAlone) {
  Put("Tidyline.ini", "[S]\r\nA=1");
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 1));
  EXPECT_EQ(rt::FileKindOf(store.FileNumber()), rt::kMemoryFile);
  store.SelectSection("S");
  EXPECT_TRUE(store.SetTextValue("B", "2"));
  EXPECT_EQ(store.GetTextValue("B", "").view(), "2");
  rt::SeekFileStart(store.FileNumber());
  EXPECT_EQ(rt::ReadBytes(store.FileNumber(), 100).view(), "[S]\r\nB=2\r\nA=1");
  EXPECT_EQ(Disk(), "[S]\r\nA=1");
  store.Close();
  EXPECT_TRUE(store.Content().empty());
}

TEST_F(StoreBehaviour, RegistryMode) {
  UseTestRegistry(Path("registry"));
  SettingsStore store;
  EXPECT_TRUE(store.Open(Path("Tidyline.v1.ini"), 2));
  EXPECT_FALSE(Exists("Tidyline.v1.ini"));
  EXPECT_EQ(store.SelectSection(G("基本配置")).view(), G("Lumora软件\\Tidyline.v1\\基本配置\\"));
  EXPECT_TRUE(store.SetTextValue(G("分隔符"), "a\r\nb"));
  EXPECT_TRUE(store.SetNumberValue("n", 3));
  EXPECT_TRUE(store.SetFlagValue("f", true));
  EXPECT_EQ(rt::ReadRegistryText(1, G("Lumora软件\\Tidyline.v1\\基本配置\\分隔符"), std::nullopt).view(),
            G("a┊*┊b"));
  EXPECT_EQ(store.GetTextValue(G("分隔符"), "").view(), "a\r\nb");
  EXPECT_DOUBLE_EQ(store.GetNumberValue("n", 0), 3);
  EXPECT_TRUE(store.GetFlagValue("f", false));
  EXPECT_EQ(store.GetTextValue("missing", "x\r\ny").view(), "x\r\ny");
  EXPECT_FALSE(Exists("Tidyline.v1.ini"));
  EndTestRegistry();
}

TEST_F(StoreBehaviour, BinarySideStore) {
  SettingsStore store;
  store.Open(Ini(), 0);
  store.SelectSection("S");
  std::string bytes("\x00\x01\xFFz", 4);
  EXPECT_EQ(store.GetBinaryValue("blob", "dflt").view(), "dflt");
  EXPECT_TRUE(store.SetBinaryValue("blob", bytes));
  EXPECT_EQ(Get("inibin/S-blob.ibn"), bytes);
  EXPECT_EQ(store.GetBinaryValue("blob", "dflt").view(), bytes);
  EXPECT_TRUE(store.SetBinaryValue("blob", "new"));  // the folder exists already
  EXPECT_EQ(store.GetBinaryValue("blob", "").view(), "new");
  EXPECT_TRUE(store.SetBinaryValue("empty", ""));
  EXPECT_EQ(store.GetBinaryValue("empty", "dflt").view(), "dflt");
  // Names that would leave the folder are refused.
  EXPECT_FALSE(store.SetBinaryValue("../escape", "x"));
  EXPECT_FALSE(Exists("escape.ibn"));
  EXPECT_EQ(store.GetBinaryValue("../escape", "d").view(), "d");
  EXPECT_EQ(Disk(), "") << "binary values stay out of the settings file";
}


// The settings path is a program text (GBK); a folder with a Chinese name
// must still load the file that the store keeps open and writes.
TEST_F(StoreBehaviour, AGbkPathLoadsWhatWasWritten) {
  std::filesystem::create_directories(dir_ / U8("配置"));
  const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
  const std::string ini = dir_.string() + sep + G("配置") + sep + G("设置.ini");
  {
    SettingsStore store;
    ASSERT_TRUE(store.Open(ini, 0));
    store.SelectSection("S");
    ASSERT_TRUE(store.SetTextValue("A", "1"));
  }
  SettingsStore again;
  EXPECT_TRUE(again.Open(ini, 0));
  again.SelectSection("S");
  EXPECT_EQ(again.GetTextValue("A", "missing").view(), "1");
  EXPECT_TRUE(again.SetTextValue("B", "2"));
  EXPECT_EQ(Slurp(dir_ / U8("配置") / U8("设置.ini")), "[S]\r\nB=2\r\nA=1");
}

}  // namespace
}  // namespace tl::testing
