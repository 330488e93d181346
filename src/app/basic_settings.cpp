#include "app/basic_settings.h"

#include "app/app_state.h"
#include "fs/file_list.h"
#include "gbk_texts.h"
#include "runtime/core/startup.h"
#include "runtime/commands/files.h"
#include "runtime/commands/system_commands.h"
#include "runtime/os/user_folder.h"
#include "runtime/window/window_commands.h"
#include "settings/control_state.h"

namespace tl::app {

namespace {
constexpr char kSep = rt::kPathSeparator;
}

std::string OpenSettings() {
  settings::SettingsStore& store = App().store;
  const std::string beside = std::string(rt::ProgramDirectory().view()) + kSep + std::string(gbk::UiSettingsFileName);
  // A portable copy keeps its settings beside itself; an installed one
  // (whose folder it may not write) keeps them in the user's folder. A copy
  // installed under a prefix (bin/ beside share/applications/) uses the
  // user's folder even where it could write bin/ (root, a ~/.local prefix).
  const std::string program_dir(rt::ProgramDirectory().view());
  std::string marker = program_dir + kSep + ".." + kSep + std::string(gbk::UiInstalledMarker);
  for (char& c : marker) {
    if (c == '/') c = kSep;
  }
  const bool installed = rt::FileExists(marker);
  if (!installed && store.Open(beside, 0)) return beside;
  if (const std::string folder = os::UserSettingsFolder(); !folder.empty()) {
    fs::EnsureDirectories(folder + kSep);
    const std::string user = folder + kSep + std::string(gbk::UiSettingsFileName);
    if (store.Open(user, 0)) return user;
  }
  store.Open(beside, 0);  // read-only: its values still apply, changes are lost
  return beside;
}

void LoadBasicSettings() {
  settings::SettingsStore& store = App().store;
  store.SelectSection(gbk::UiSettingsSection);
  settings::LoadRadioState(store, Ref(ui::kLineBreakRadio));
  Set(ui::kTypedRadio, prop::kChecked, !GetBool(ui::kLineBreakRadio, prop::kChecked));
  // Each read yields; a window closed meanwhile keeps whatever was restored.
  std::string text = std::string(store.GetTextValue(gbk::UiKeySeparator, GetText(ui::kSeparatorEdit, prop::kText)).view());
  Set(ui::kSeparatorEdit, prop::kText, text);
  text = std::string(store.GetTextValue(gbk::UiKeyFileType, GetText(ui::kFilterEdit, prop::kText)).view());
  Set(ui::kFilterEdit, prop::kText, text);
  const double index = store.GetNumberValue(gbk::UiKeyEncoding, GetInt(ui::kEncodingCombo, prop::kSelectedIndex));
  Set(ui::kEncodingCombo, prop::kSelectedIndex, static_cast<std::int32_t>(index));
  settings::LoadCheckState(store, Ref(ui::kDedupeCheck));
  settings::LoadCheckState(store, Ref(ui::kShuffleCheck));
  if (!MainWindowOpen()) return;
  rt::SetParentWindow(Ref(ui::kStatusLabel), Ref(ui::kProgressBar));
  rt::MoveControl(Ref(ui::kStatusLabel), 10, 0, std::nullopt, std::nullopt);
}

void SaveBasicSettings() {
  settings::SettingsStore& store = App().store;
  store.SelectSection(gbk::UiSettingsSection);
  // Every value is read before the first write: each write yields, and the
  // controls must be saved as they were when the close was asked for.
  const std::string separator = GetText(ui::kSeparatorEdit, prop::kText);
  const std::string filter = GetText(ui::kFilterEdit, prop::kText);
  const std::int32_t encoding = GetInt(ui::kEncodingCombo, prop::kSelectedIndex);
  settings::SaveRadioState(store, Ref(ui::kLineBreakRadio));
  store.SetTextValue(gbk::UiKeySeparator, separator);
  store.SetTextValue(gbk::UiKeyFileType, filter);
  store.SetNumberValue(gbk::UiKeyEncoding, encoding);
  settings::SaveCheckState(store, Ref(ui::kDedupeCheck));
  settings::SaveCheckState(store, Ref(ui::kShuffleCheck));
}

}  // namespace tl::app
