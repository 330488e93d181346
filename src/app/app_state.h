// What the application keeps for the whole run, and control access that is
// safe after the main window has gone: handlers run nested inside each
// other's yields, so the window can close under any of them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "runtime/window/window_runtime.h"
#include "settings/settings_store.h"

namespace tl::app {

struct AppState {
  settings::SettingsStore store;
  std::string settingsPath;  // where OpenSettings opened the file (GBK)
  bool moveLeft = false;     // the banner logo's slide direction
};

// The state between start-up and shutdown; fatal outside it.
AppState& App();

// Numbered properties used by the handlers.
namespace prop {
inline constexpr int kLeft = 0, kWidth = 2, kTag = 4;
inline constexpr int kText = 8;          // EditBox content, TransLabel text
inline constexpr int kCaption = 11;      // CheckBox / RadioBox caption
inline constexpr int kLinkTarget = 11;   // HyperLinker
inline constexpr int kProgressMax = 12, kProgressPos = 13;
inline constexpr int kChecked = 18;
inline constexpr int kSelectedIndex = 19;
}  // namespace prop

// False once the main window has been closed (or before it was built).
bool MainWindowOpen();
rt::ControlRef Ref(std::uint32_t unit);
// Property access on the main window; reads give the empty value and writes
// do nothing once it has gone.
std::string GetText(std::uint32_t unit, int property);
std::int32_t GetInt(std::uint32_t unit, int property);
bool GetBool(std::uint32_t unit, int property);
void Set(std::uint32_t unit, int property, const rt::PropertyValue& value);

}  // namespace tl::app
