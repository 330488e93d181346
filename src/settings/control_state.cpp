#include "settings/control_state.h"

namespace tl::settings {
namespace {

constexpr int kCaption = 11;
constexpr int kChecked = 18;

bool Loaded(rt::ControlRef c) { return rt::IsWindowLoaded(c.window); }

bool SaveState(SettingsStore& store, rt::ControlRef c) {
  if (!Loaded(c)) return false;
  const std::string key = rt::PropertyAsText(rt::GetControlProperty(c.window, c.unit, kCaption));
  const bool checked = rt::PropertyAsBool(rt::GetControlProperty(c.window, c.unit, kChecked));
  return store.SetFlagValue(key, checked);
}

bool LoadState(SettingsStore& store, rt::ControlRef c) {
  if (!Loaded(c)) return false;
  const std::string key = rt::PropertyAsText(rt::GetControlProperty(c.window, c.unit, kCaption));
  const bool current = rt::PropertyAsBool(rt::GetControlProperty(c.window, c.unit, kChecked));
  const bool stored = store.GetFlagValue(key, current);
  // The read yields to the message loop: the window may have closed meanwhile.
  if (!Loaded(c)) return false;
  rt::SetControlProperty(c.window, c.unit, kChecked, stored);
  return rt::PropertyAsBool(rt::GetControlProperty(c.window, c.unit, kChecked));
}

}  // namespace

bool SaveCheckState(SettingsStore& store, rt::ControlRef control) { return SaveState(store, control); }
bool LoadCheckState(SettingsStore& store, rt::ControlRef control) { return LoadState(store, control); }
bool SaveRadioState(SettingsStore& store, rt::ControlRef control) { return SaveState(store, control); }
bool LoadRadioState(SettingsStore& store, rt::ControlRef control) { return LoadState(store, control); }

}  // namespace tl::settings
