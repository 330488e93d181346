// Check-box and radio-button states kept in the settings store: the key is
// the control's caption (property 11) read at the time of the call, the
// value its checked state (property 18) as a flag, in the store's current
// section.
#pragma once
#include "runtime/window/window_runtime.h"
#include "settings/settings_store.h"

namespace tl::settings {

// True when the write was carried out now (as SetFlagValue).
bool SaveCheckState(SettingsStore& store, rt::ControlRef control);
// Reads the flag (default: the current state), sets the control to it and
// returns the state read back from the control. False without touching
// anything when the control's window is not (or no longer) loaded.
bool LoadCheckState(SettingsStore& store, rt::ControlRef control);
// The same two operations for a radio button.
bool SaveRadioState(SettingsStore& store, rt::ControlRef control);
bool LoadRadioState(SettingsStore& store, rt::ControlRef control);

}  // namespace tl::settings
