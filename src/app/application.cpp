#include "app/application.h"

#include <memory>

#include "app/app_state.h"
#include "app/basic_settings.h"
#include "app/batch_buttons.h"
#include "app/handlers.h"
#include "app/main_window.h"
#include "runtime/core/errors.h"
#include "runtime/core/startup.h"
#include "runtime/window/window_commands.h"

namespace tl::app {
namespace {

std::unique_ptr<AppState> g_app;
platform::Platform* g_previous = nullptr;
bool g_windowBuilt = false;

using Procedure = void (*)();
constexpr Procedure kProcedures[ui::kHandlerCount + 1] = {
    nullptr,
    onMainWindowCreated,
    onMainWindowCloseQuery,
    onPasteClick,
    onProcessClick,
    onCopyClick,
    onChooseFilesClick,
    onChooseFolderClick,
    onChooseFolderRightDown,
    onSlideTimer,
    onLogoClick,
    onHomepageImageClick,
};

rt::EventHandler Resolve(std::int32_t stored) {
  if (stored <= 0 || stored > ui::kHandlerCount) return {};
  Procedure p = kProcedures[stored];
  return [p](std::span<const std::int32_t>) -> rt::HandlerResult {
    p();
    return std::nullopt;
  };
}

}  // namespace

AppState& App() {
  if (!g_app) rt::FatalError("AppState");
  return *g_app;
}

bool MainWindowOpen() { return g_app && rt::IsWindowLoaded(ui::kMainWindow); }
rt::ControlRef Ref(std::uint32_t unit) { return {ui::kMainWindow, unit}; }

std::string GetText(std::uint32_t unit, int property) {
  return MainWindowOpen() ? rt::PropertyAsText(rt::GetControlProperty(ui::kMainWindow, unit, property)) : std::string();
}
std::int32_t GetInt(std::uint32_t unit, int property) {
  return MainWindowOpen() ? rt::PropertyAsInt(rt::GetControlProperty(ui::kMainWindow, unit, property)) : 0;
}
bool GetBool(std::uint32_t unit, int property) {
  return MainWindowOpen() && rt::PropertyAsBool(rt::GetControlProperty(ui::kMainWindow, unit, property));
}
void Set(std::uint32_t unit, int property, const rt::PropertyValue& value) {
  if (MainWindowOpen()) rt::SetControlProperty(ui::kMainWindow, unit, property, value);
}

void onMainWindowCreated() { LoadBasicSettings(); }
void onMainWindowCloseQuery() { SaveBasicSettings(); }

void ApplicationStart() {
  App().settingsPath = OpenSettings();
  g_windowBuilt = rt::LoadWindow(ui::kMainWindow, std::nullopt, false);
}

void ApplicationShutdown() {
  // Destroying the store closes the settings file.
  g_app.reset();
}

void StartApplication(platform::Platform& platform) {
  g_previous = platform::Install(&platform);
  rt::InitRuntime({ui::MainWindowTemplateBytes(), Resolve});
  g_app = std::make_unique<AppState>();
  rt::SetShutdownHook(&ApplicationShutdown);
  rt::SetFilesDroppedHandler([](std::uint32_t window, std::span<const std::string> paths) {
    if (window == ui::kMainWindow) DropFiles(paths);
  });
  ApplicationStart();
}

int FinishApplication() {
  int code = rt::RunMessageLoop();
  if (!g_windowBuilt && code == 0) code = 1;  // nothing was shown: not a success
  rt::ShutdownRuntime(code);
  rt::SetShutdownHook(nullptr);
  rt::SetFilesDroppedHandler(nullptr);
  g_app.reset();
  platform::Install(g_previous);
  g_previous = nullptr;
  return code;
}

int RunApplication(platform::Platform& platform) {
  StartApplication(platform);
  return FinishApplication();
}

}  // namespace tl::app
