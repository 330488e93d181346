// The window's choices across runs, and where the settings file lives.
#include <filesystem>

#include "app/app_fixture.h"

namespace tl::app::test {
namespace {

const std::string kFirstRunFile = "[基本配置]\r\n打乱=假\r\n去重=真\r\n编码=0\r\n文件类型=*.txt\r\n分隔符=\r\n换行符=真";

// The entry routine as a program's main() runs it, closed at once.
TEST_F(AppTest, FirstRunClosedAtOnceWritesTheSixKeys) {
  std::optional<std::string> whileOpen;
  os.At(30, [&] {
    whileOpen = Ini();  // opening created the file, empty
    os.Close(W(ui::kMainWindowUnit));
  });
  EXPECT_EQ(RunApplication(os), 0);
  EXPECT_EQ(whileOpen, "");
  EXPECT_EQ(Ini(), Gbk(kFirstRunFile));
  EXPECT_EQ(platform::Current(), nullptr);  // the backend is uninstalled again
}

// What each of the seven controls shows, in one comparable form.
struct ControlRow {
  const char* what;
  std::uint32_t unit;
  std::string fresh;    // as the template makes it
  std::string changed;  // after the script of the first run
};
const ControlRow kControls[] = {
    {"line-break radio", ui::kLineBreakRadio, "on", "off"},
    {"typed radio", ui::kTypedRadio, "off", "on"},
    {"separator", ui::kSeparatorEdit, "", "a\r\nb"},
    {"filter", ui::kFilterEdit, "*.txt", "*.txt|*.csv"},
    {"encoding", ui::kEncodingCombo, "0", "3"},
    {"dedupe", ui::kDedupeCheck, "on", "off"},
    {"shuffle", ui::kShuffleCheck, "off", "on"},
};

class Restore : public AppTest {
 protected:
  std::string State(std::uint32_t unit) {
    const hl::Widget& w = Widget(unit);
    switch (w.spec.kind) {
      case platform::WidgetKind::kCheckBox:
      case platform::WidgetKind::kRadioBox: return w.checked ? "on" : "off";
      case platform::WidgetKind::kComboBox: return std::to_string(w.selection);
      default: return Utf8(w.text);
    }
  }
  void ExpectAll(std::string ControlRow::*column) {
    for (const ControlRow& c : kControls) EXPECT_EQ(State(c.unit), c.*column) << c.what;
  }
};

TEST_F(Restore, SecondRunRestoresSevenControlsAndDeletingTheFileResetsThem) {
  Start();
  Run();
  ExpectAll(&ControlRow::fresh);
  Click(ui::kTypedRadio);
  Type(ui::kSeparatorEdit, "a\r\nb");
  Type(ui::kFilterEdit, "|*.csv");
  os.Select(W(ui::kEncodingCombo), 3);
  Click(ui::kDedupeCheck);
  Click(ui::kShuffleCheck);
  Run();
  ExpectAll(&ControlRow::changed);
  EXPECT_EQ(Finish(), 0);
  // The separator's line break is stored on one line.
  EXPECT_NE(Ini().find(Gbk("\r\n分隔符=a┊*┊b")), std::string::npos) << Utf8(Ini());

  Start();
  Run();
  ExpectAll(&ControlRow::changed);
  EXPECT_EQ(Finish(), 0);

  std::filesystem::remove(dir_ / "prog" / "Tidyline.ini");
  Start();
  Run();
  ExpectAll(&ControlRow::fresh);
  EXPECT_EQ(Finish(), 0);
}

// The status label sits inside the progress bar, 10 pixels in.
TEST_F(AppTest, StatusLabelMovesIntoTheProgressBar) {
  Start();
  EXPECT_EQ(os.Find(W(ui::kStatusLabel))->parent, W(ui::kProgressBar));
  EXPECT_EQ(Widget(ui::kStatusLabel).rect, (platform::Rect{10, 0, 600, 24}));
  // Centred on the 1024 x 768 screen whatever the stored position says.
  EXPECT_EQ(Widget(ui::kMainWindowUnit).rect, (platform::Rect{181, 123, 662, 521}));
}

// A portable copy keeps the file beside itself; a program whose folder it
// cannot write keeps it in the user's folder, and still remembers.
TEST_F(AppTest, SettingsFileBesideTheProgramOrInTheUsersFolder) {
  struct Case {
    const char* what;
    std::string program;       // GBK path of the program file
    std::filesystem::path file;  // where the settings must land
    std::filesystem::path not_file;
    bool linux_only = false;
  } cases[] = {
      {"writable program folder", Path("prog/tidyline"), dir_ / "prog" / "Tidyline.ini", UserSettingsFile()},
      // /proc takes no new files, whoever runs the test (root included).
      {"program folder under /proc", "/proc/tidyline", UserSettingsFile(), dir_ / "prog" / "Tidyline.ini", true},
      // A file where the program's folder should be: nothing can be made
      // beside the program on any system.
      {"program folder is a file", Path("blocker/tidyline"), UserSettingsFile(), dir_ / "prog" / "Tidyline.ini"},
      // Installed under a prefix (bin/ and share/applications/ side by side):
      // the user's folder, though bin/ is writable.
      {"installed copy", Path("usr/bin/tidyline"), UserSettingsFile(), dir_ / "usr" / "bin" / "Tidyline.ini"},
      {"read-only program folder", Path("ro/tidyline"), UserSettingsFile(), dir_ / "ro" / "Tidyline.ini"},
  };
  Put("blocker", "a file");
  std::filesystem::create_directories(dir_ / "usr" / "bin");
  std::filesystem::create_directories(dir_ / "usr" / "share" / "applications");
  Put("usr/share/applications/tidyline.desktop", "[Desktop Entry]\n");
  std::filesystem::create_directories(dir_ / "ro");
  std::filesystem::permissions(dir_ / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  Put("ro/probe", "x");
  // Root writes anyway, and so does wine (a read-only folder still takes
  // new files on Windows).
  const bool permissionsHold = !Exists("ro/probe");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.program == Path("ro/tidyline") && !permissionsHold) continue;
    if (c.linux_only && tl::test::kWindows) continue;
    rt::SetProgramPathForStartup(c.program);
    Start();
    Click(ui::kShuffleCheck);
    Run();
    EXPECT_EQ(Finish(), 0);
    EXPECT_FALSE(std::filesystem::exists(c.not_file));
    EXPECT_NE(Slurp(c.file).find(Gbk("打乱=真")), std::string::npos) << Utf8(Slurp(c.file));
    Start();  // the next run reads it back
    Run();
    EXPECT_TRUE(Widget(ui::kShuffleCheck).checked);
    EXPECT_EQ(Finish(), 0);
    std::filesystem::remove(c.file);
  }
}

}  // namespace
}  // namespace tl::app::test
