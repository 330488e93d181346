// Runs the whole application on the headless backend in a fresh temporary
// folder: the program lives in <tmp>/prog, the user's settings folder is
// under <tmp>/config, and the tick count is fixed so summaries read the same
// on every run.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/main_window.h"
#include "files/fixture.h"
#include "runtime/platform/headless/headless.h"
#include "runtime/core/random.h"
#include "runtime/core/startup.h"
#include "runtime/commands/system_commands.h"
#include "runtime/window/window_runtime.h"
#include "support/env.h"
#include "support/paths.h"

namespace tl::app::test {

namespace hl = platform::headless;
using tl::testing::Gbk;
using tl::testing::Utf8;

// The variable that names the user's settings folder, and that folder's
// name under it: %APPDATA%\Tidyline on Windows, $XDG_CONFIG_HOME/tidyline
// elsewhere.
inline constexpr const char* kUserFolderVariable = tl::test::kWindows ? "APPDATA" : "XDG_CONFIG_HOME";
inline constexpr const char* kUserFolderName = tl::test::kWindows ? "Tidyline" : "tidyline";

inline const std::string kSample = "777\r\n123\r\n321\r\n222\r\n333\r\n222\r\n321\r\n222\r\n555\r\n655\r\n777";

// Command lines the application asked to start (Windows opens folders with
// "explorer ..."): recorded, never run.
inline std::vector<std::string>& Launched() {
  static std::vector<std::string> lines;
  return lines;
}
inline bool RecordLaunch(std::string_view commandLine, bool, int) {
  Launched().emplace_back(commandLine);
  return true;
}

class AppTest : public tl::testing::TempDirTest {
 public:
  void SetUp() override {
    TempDirTest::SetUp();
    here_ = std::filesystem::current_path();
    user_folder_.emplace(kUserFolderVariable, Path("config"));
    std::filesystem::create_directories(dir_ / "prog");
    rt::SetProgramPathForStartup(Path("prog/tidyline"));
    rt::SetTickCountOverride(5000);
    Launched().clear();
    previous_launcher_ = rt::SetProgramLauncher(&RecordLaunch);
  }
  void TearDown() override {
    if (running_) Finish();
    rt::SetTickCountOverride(std::nullopt);
    rt::SetProgramPathForStartup({});
    rt::SetProgramLauncher(previous_launcher_);
    user_folder_.reset();
    std::error_code ec;
    std::filesystem::current_path(here_, ec);
    EXPECT_FALSE(ec) << here_;
    TempDirTest::TearDown();
  }

  void Start() {
    StartApplication(os);
    running_ = true;
  }
  // Closes the window (if it is still open) and runs the loop to its end.
  int Finish() {
    running_ = false;
    if (rt::IsWindowLoaded(ui::kMainWindow)) os.Close(W(ui::kMainWindowUnit));
    return FinishApplication();
  }
  void Run(std::uint32_t ms = 40) { os.RunFor(ms); }

  static platform::Handle W(std::uint32_t unit) {
    return rt::WidgetOf({ui::kMainWindow, unit == ui::kMainWindowUnit ? 0 : unit});
  }
  const hl::Widget& Widget(std::uint32_t unit) {
    const hl::Widget* w = os.Find(W(unit));
    static const hl::Widget none;
    EXPECT_NE(w, nullptr) << std::hex << unit;
    return w ? *w : none;
  }
  // The text a control shows, in UTF-8.
  std::string Shown(std::uint32_t unit) { return Utf8(Widget(unit).text); }
  std::vector<std::string> ShownInTurn(std::uint32_t unit) {
    std::vector<std::string> out;
    for (auto& t : Widget(unit).texts_set) out.push_back(Utf8(t));
    return out;
  }
  void Click(std::uint32_t unit) { os.Click(W(unit)); }
  void Type(std::uint32_t unit, std::string_view utf8) { os.Type(W(unit), Gbk(utf8)); }

  std::string Ini() const { return Slurp(dir_ / "prog" / "Tidyline.ini"); }
  // The program's path of a name under the temporary folder, written with
  // "/" and spelt with the system's separator.
  std::string Path(std::string_view name) const { return TempDirTest::Path(tl::test::Native(std::string(name))); }
  // A GBK path of a file under the temporary folder (names in UTF-8).
  std::string GbkPath(std::string_view utf8) const { return Gbk(Path(utf8)); }
  std::string SaveFolder(std::string_view folder) const { return Path(std::string(folder) + "/保存目录/"); }
  // The save folder of a folder as the file system finds it.
  std::filesystem::path SaveDir(std::string_view folder) const { return dir_ / U8(folder) / U8("保存目录"); }
  // The settings file in the user's folder.
  std::filesystem::path UserSettingsFile() const { return dir_ / "config" / kUserFolderName / "Tidyline.ini"; }

  hl::Headless os;
  bool running_ = false;
  std::filesystem::path here_;
  std::optional<tl::test::ScopedEnv> user_folder_;
  rt::ProgramLauncher previous_launcher_ = nullptr;
};

}  // namespace tl::app::test
