// The main window on real Win32 windows: its frame, its place on the screen
// and every control where the template puts it, with the stored font.
#include <cstring>

#include "app/application.h"
#include "app/main_window.h"
#include "gbk_texts.h"
#include "runtime/core/startup.h"
#include "runtime/window/template_format.h"
#include "runtime/window/window_runtime.h"
#include "win32/win32_support.h"

namespace tl::wintest {
namespace {

namespace ui = app::ui;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char here[MAX_PATH];
    GetCurrentDirectoryA(sizeof here, here);
    here_ = here;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    dir_ = std::string(temp) + "tidyline-win32-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
    // Tidyline.ini goes beside this pretended program, not beside the tests.
    rt::SetProgramPathForStartup(dir_ + "\\tidyline.exe");
    app::StartApplication(Backend());
    main_ = rt::WidgetOf({ui::kMainWindow, 0});
    ASSERT_NE(main_, platform::kNoHandle);
  }
  void TearDown() override {
    if (main_ && IsWindow(W(main_))) PostMessageA(W(main_), WM_CLOSE, 0, 0);
    app::FinishApplication();
    rt::SetProgramPathForStartup({});
    SetCurrentDirectoryA(here_.c_str());
    DeleteFileA((dir_ + "\\Tidyline.ini").c_str());
    RemoveDirectoryA(dir_.c_str());
  }
  std::string here_, dir_;
  Handle main_ = platform::kNoHandle;
};

TEST_F(MainWindowTest, TheFrameIsFixedWithCaptionAndMinimizeBoxCentredOnTheScreen) {
  HWND w = W(main_);
  RECT r;
  GetWindowRect(w, &r);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(r.right - r.left, 662);
  EXPECT_EQ(r.bottom - r.top, 521);
  EXPECT_EQ(r.left, (sw - 662) / 2);
  EXPECT_EQ(r.top, (sh - 521) / 2);
  LONG style = GetWindowLongA(w, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the frame is fixed";
  EXPECT_TRUE(IsWindowVisible(w));
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  EXPECT_STREQ(cls, "TidylineWindow");
  EXPECT_EQ(WindowText(w), std::string(gbk::UiTitle));
  EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  // The client area is what the frame leaves.
  RECT client;
  GetClientRect(w, &client);
  EXPECT_LT(client.bottom, 521);
  EXPECT_GT(client.bottom, 400);
}

TEST_F(MainWindowTest, EveryControlSitsWhereTheTemplatePutsItWithItsKindAndFont) {
  auto segment = rt::tpl::ReadTemplateSegment(ui::MainWindowTemplateBytes());
  ASSERT_TRUE(segment);
  const auto& units = segment->windows.at(0).units;
  struct Kind {
    std::uint32_t kind;
    const char* cls;
  };
  // The system's classes of the native controls; the runtime's own child
  // windows have ours.
  const Kind kinds[] = {
      {rt::tpl::kKindEditBox, "Edit"},        {rt::tpl::kKindButton, "Button"},
      {rt::tpl::kKindCheckBox, "Button"},     {rt::tpl::kKindRadioBox, "Button"},
      {rt::tpl::kKindComboBox, "ComboBox"},   {rt::tpl::kKindLabel, "Static"},
      {rt::tpl::kKindProcessBar, "msctls_progress32"}, {rt::tpl::kKindPicBox, "TidylineControl"},
      {rt::tpl::kKindPicBtn, "TidylineControl"},       {rt::tpl::kKindHyperLinker, "TidylineControl"},
      {rt::tpl::kKindTransLabel, "TidylineControl"},
  };
  int checked = 0;
  for (std::size_t i = 1; i < units.size(); ++i) {
    const auto& u = units[i];
    Handle h = rt::WidgetOf({ui::kMainWindow, u.id});
    if (u.kind == rt::tpl::kKindTimer) {
      EXPECT_EQ(h, platform::kNoHandle) << "a timer has no window";
      continue;
    }
    ASSERT_NE(h, platform::kNoHandle) << u.name;
    SCOPED_TRACE(::testing::Message() << "unit " << std::hex << u.id);
    Rect want{u.left, u.top, u.width, u.height};
    // The created handler moves the status label into the bar, and the
    // banner's timer slides the logo: their sizes stay.
    if (u.id == ui::kStatusLabel || u.id == ui::kLogo) {
      Rect r = Backend().GetRect(h);
      want.left = r.left;
      want.top = r.top;
    }
    EXPECT_EQ(Backend().GetRect(h), want);
    // The system agrees: the window's own rectangle in its parent.
    HWND hw = W(h);
    RECT r;
    GetWindowRect(hw, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hw), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((Rect{r.left, r.top, r.right - r.left, r.bottom - r.top}), want);
    std::uint32_t parent = u.id == ui::kStatusLabel ? ui::kProgressBar : u.parent;
    HWND expected_parent = parent == 0 ? W(main_) : W(rt::WidgetOf({ui::kMainWindow, parent}));
    EXPECT_EQ(GetParent(hw), expected_parent);
    char cls[64] = {};
    GetClassNameA(hw, cls, sizeof cls);
    for (const Kind& k : kinds) {
      if (k.kind == u.kind) {
        EXPECT_STRCASEEQ(cls, k.cls);
      }
    }
    // The stored font: SimSun, 15 pixels, the GB2312 character set.
    if (std::strcmp(cls, "TidylineControl") != 0 && u.kind != rt::tpl::kKindProcessBar &&
        u.kind != rt::tpl::kKindLabel) {
      auto font = reinterpret_cast<HFONT>(SendMessageA(hw, WM_GETFONT, 0, 0));
      LOGFONTA lf{};
      ASSERT_TRUE(font && GetObjectA(font, sizeof lf, &lf) == sizeof lf);
      EXPECT_EQ(lf.lfHeight, -15);
      EXPECT_EQ(lf.lfCharSet, GB2312_CHARSET);
      EXPECT_EQ(std::string(lf.lfFaceName), std::string(gbk::UiFontSimSun));
    }
    ++checked;
  }
  EXPECT_GE(checked, 20);
}

TEST_F(MainWindowTest, TheBoxesScrollBothWaysAndTheListDropsDown) {
  HWND source = W(rt::WidgetOf({ui::kMainWindow, ui::kSourceEdit}));
  LONG style = GetWindowLongA(source, GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_TRUE(style & WS_HSCROLL);
  EXPECT_TRUE(style & WS_VSCROLL);
  EXPECT_TRUE(style & ES_WANTRETURN);
  EXPECT_TRUE(GetWindowLongA(source, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  HWND combo = W(rt::WidgetOf({ui::kMainWindow, ui::kEncodingCombo}));
  EXPECT_EQ(GetWindowLongA(combo, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 6);
  HWND process = W(rt::WidgetOf({ui::kMainWindow, ui::kProcessButton}));
  EXPECT_EQ(GetWindowLongA(process, GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
  HWND radio = W(rt::WidgetOf({ui::kMainWindow, ui::kTypedRadio}));
  EXPECT_EQ(GetWindowLongA(radio, GWL_STYLE) & 0xF, BS_RADIOBUTTON) << "the runtime groups, not the system";
  HWND check = W(rt::WidgetOf({ui::kMainWindow, ui::kDedupeCheck}));
  EXPECT_EQ(GetWindowLongA(check, GWL_STYLE) & 0xF, BS_AUTOCHECKBOX);
  // The status label is a child of the bar.
  HWND bar = W(rt::WidgetOf({ui::kMainWindow, ui::kProgressBar}));
  EXPECT_EQ(GetParent(W(rt::WidgetOf({ui::kMainWindow, ui::kStatusLabel}))), bar);
  EXPECT_TRUE(GetWindowLongA(bar, GWL_STYLE) & WS_CLIPCHILDREN);
}

}  // namespace
}  // namespace tl::wintest
