// Runs the whole application on the headless backend in a fresh temporary
// folder: the program lives in <tmp>/prog, the user's settings folder is
// <tmp>/config, and the tick count is fixed so summaries read the same on
// every run.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

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
#include "runtime/window/window_runtime.h"

namespace tl::app::test {

namespace hl = platform::headless;
using tl::testing::Gbk;
using tl::testing::Utf8;

inline const std::string kSample = "777\r\n123\r\n321\r\n222\r\n333\r\n222\r\n321\r\n222\r\n555\r\n655\r\n777";

class AppTest : public tl::testing::TempDirTest {
 public:
  void SetUp() override {
    TempDirTest::SetUp();
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    here_ = here;
    if (const char* x = std::getenv("XDG_CONFIG_HOME")) xdg_ = x;
    setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
    std::filesystem::create_directories(dir_ / "prog");
    rt::SetProgramPathForStartup(Path("prog/tidyline"));
    rt::SetTickCountOverride(5000);
  }
  void TearDown() override {
    if (running_) Finish();
    rt::SetTickCountOverride(std::nullopt);
    rt::SetProgramPathForStartup({});
    if (xdg_) {
      setenv("XDG_CONFIG_HOME", xdg_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    EXPECT_EQ(chdir(here_.c_str()), 0);
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
  using TempDirTest::Path;
  // A GBK path of a file under the temporary folder (names in UTF-8).
  std::string GbkPath(std::string_view utf8) const { return Gbk(Path(utf8)); }
  std::string SaveFolder(std::string_view folder) const { return Path(folder) + "/保存目录/"; }

  hl::Headless os;
  bool running_ = false;
  std::string here_;
  std::optional<std::string> xdg_;
};

}  // namespace tl::app::test
