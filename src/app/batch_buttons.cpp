#include "app/batch_buttons.h"

#include "app/app_state.h"
#include "app/batch.h"
#include "app/handlers.h"
#include "app/shell.h"
#include "app/window_options.h"
#include "fs/choose_folder.h"
#include "fs/file_list.h"
#include "fs/list_by_object.h"
#include "gbk_texts.h"
#include "runtime/os/files.h"
#include "runtime/commands/file_search.h"
#include "runtime/window/window_commands.h"

namespace tl::app {
namespace {

// The main window as the batch's view. Once the window has gone nothing is
// shown and the batch stops at its next yield.
class WindowBatchView final : public BatchView {
 public:
  void SetStatusText(std::string_view text) override { Set(ui::kStatusLabel, prop::kText, std::string(text)); }
  void SetProgressMaximum(std::int32_t maximum) override {
    maximum_ = maximum;
    Set(ui::kProgressBar, prop::kProgressMax, maximum);
  }
  // The maximum again each time: a batch run inside this one's yield has
  // set its own, and the bar must show this batch's share again.
  void SetProgressPosition(std::int32_t position) override {
    Set(ui::kProgressBar, prop::kProgressMax, maximum_);
    Set(ui::kProgressBar, prop::kProgressPos, position);
  }
  int AskYesNo(std::string_view question) override {
    constexpr std::int32_t kYesNo = 4;
    return MainWindowOpen() ? rt::ShowMessage(question, kYesNo) : 6;
  }
  void OpenFolder(std::string_view folder) override {
    std::string path(folder);
    OpenInExplorer(path, {.newWindow = true, .openItself = true});
  }
  bool Stopped() override { return !MainWindowOpen(); }

 private:
  std::int32_t maximum_ = 100;
};

bool IsDirectory(std::string_view path) {
  std::int32_t handle = 0;
  const bool found = !rt::FindFile(path, rt::fileio::kAttrDirectory, 0, handle).empty();
  rt::CloseFind(handle);
  return found;
}

}  // namespace

void RunWindowBatch(const rt::TextArray& files, std::int64_t unlisted) {
  if (!MainWindowOpen()) return;
  WindowOptions options;
  WindowBatchView view;
  BatchProcess(files, options, view, unlisted);
}

void onChooseFilesClick() {
  // The tag of the files button is never written: the dialog's own default.
  const std::string initial = GetText(ui::kFilesButton, prop::kTag);
  rt::TextArray files = rt::OpenFilesDialog(gbk::UiFilesDialogTitle, gbk::UiFilesDialogFilter, std::nullopt,
                                            initial, std::nullopt);
  RunWindowBatch(files, 0);
}

void ChooseFolderAndList(bool byObject) {
  const std::string initial = GetText(ui::kFolderButton, prop::kTag);
  const rt::Text folder = fs::ChooseFolder(initial, gbk::UiFolderPrompt);
  // A window closed while its dialog was open has nothing left to list for.
  if (folder.empty() || !MainWindowOpen()) return;
  Set(ui::kFolderButton, prop::kTag, std::string(folder.view()));
  const std::string filter = GetText(ui::kFilterEdit, prop::kText);
  rt::TextArray list;
  // Names that cannot be carried through the program's text are never
  // opened (another file could answer to the converted name); they count as
  // not processed instead of vanishing from the summary.
  rt::TextArray uncarried;
  if (byObject) {
    fs::ListFilesByObject(folder.view(), filter, list, false, false, &uncarried);
  } else {
    fs::ListFiles(folder.view(), filter, list, false, false, &uncarried);
  }
  // The listing yields: a window closed meanwhile starts no batch.
  RunWindowBatch(list, static_cast<std::int64_t>(uncarried.size()));
}

void onChooseFolderClick() { ChooseFolderAndList(false); }
void onChooseFolderRightDown() { ChooseFolderAndList(true); }

void DropFiles(std::span<const std::string> paths) {
  if (!MainWindowOpen()) return;
  const std::string filter = GetText(ui::kFilterEdit, prop::kText);
  rt::TextArray list;
  rt::TextArray uncarried;
  for (const std::string& path : paths) {
    if (IsDirectory(path)) {
      fs::ListFiles(path, filter, list, true, false, &uncarried);
    } else {
      list.Append(path);
    }
  }
  RunWindowBatch(list, static_cast<std::int64_t>(uncarried.size()));
}

}  // namespace tl::app
