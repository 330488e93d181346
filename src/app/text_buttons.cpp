// The three text buttons: paste, process, copy.
#include "app/app_state.h"
#include "app/handlers.h"
#include "app/window_options.h"
#include "gbk_texts.h"
#include "runtime/window/window_commands.h"

namespace tl::app {

std::string WindowOptions::Separator() {
  if (MainWindowOpen()) separator_ = LineBreakMode() ? std::string("\r\n") : GetText(ui::kSeparatorEdit, prop::kText);
  return separator_;
}
bool WindowOptions::Dedupe() {
  if (MainWindowOpen()) dedupe_ = GetBool(ui::kDedupeCheck, prop::kChecked);
  return dedupe_;
}
bool WindowOptions::Shuffle() {
  if (MainWindowOpen()) shuffle_ = GetBool(ui::kShuffleCheck, prop::kChecked);
  return shuffle_;
}
int WindowOptions::EncodingChoice() {
  if (MainWindowOpen()) encoding_ = GetInt(ui::kEncodingCombo, prop::kSelectedIndex);
  return encoding_;
}
bool WindowOptions::LineBreakMode() {
  if (MainWindowOpen()) lineBreak_ = GetBool(ui::kLineBreakRadio, prop::kChecked);
  return lineBreak_;
}

void onPasteClick() {
  // No text on the clipboard empties the box.
  Set(ui::kSourceEdit, prop::kText, rt::GetClipboardString());
}

void onProcessClick() {
  Set(ui::kResultEdit, prop::kText, std::string(gbk::UiProcessing));
  const std::string source = GetText(ui::kSourceEdit, prop::kText);
  WindowOptions options;
  rt::Text result = text::ProcessText(source, options);
  // Processing yields; a window closed meanwhile gets nothing (Set ignores it).
  Set(ui::kResultEdit, prop::kText, std::string(result.view()));
}

void onCopyClick() { rt::SetClipboardText(GetText(ui::kResultEdit, prop::kText)); }

}  // namespace tl::app
