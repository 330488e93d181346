#include "app/batch.h"

#include <string>
#include <vector>

#include "batch/elapsed_text.h"
#include "batch/file_batch.h"
#include "fs/file_list.h"
#include "gbk_texts.h"

namespace tl::app {

namespace {

// Status text and progress for each file, on the view.
class ViewObserver : public batch::FileObserver {
 public:
  explicit ViewObserver(BatchView& view) : view_(view) {}
  void FileStarting(std::size_t index, std::size_t count, std::string_view path) override {
    if (index == 0) view_.SetProgressMaximum(static_cast<std::int32_t>(count));
    std::string status(1, '(');
    status += std::to_string(count);
    status += ':';
    status += std::to_string(index + 1);
    status += ") ";
    status += fs::BaseNameOf(path);
    status += "\r\n";
    view_.SetStatusText(status);
    view_.SetProgressPosition(static_cast<std::int32_t>(index + 1));
  }
  void FileFinished(std::size_t, std::string_view path, const batch::FileResult& result) override {
    if (result.status != batch::FileStatus::kProcessed) view_.FileFailed(path, batch::ReasonOf(result));
  }
  bool Stopped() override { return view_.Stopped(); }

 private:
  BatchView& view_;
};

BatchResult Run(std::span<const std::string_view> files, text::ProcessOptions& options, BatchView& view,
               std::int64_t unlisted) {
  BatchResult result;
  if (files.empty()) {
    // Nothing that could be opened, but files were there: say so.
    if (unlisted > 0) {
      result.total = unlisted;
      view.SetStatusText(batch::BatchSummary(result.total, 0, 0).view());
    }
    return result;
  }
  ViewObserver observer(view);
  batch::BatchOutcome outcome = batch::ProcessFiles(files, options, observer);
  result.total = static_cast<std::int64_t>(files.size()) + unlisted;
  result.processed = outcome.processed;
  if (outcome.stopped) return result;  // the window that would show the rest has gone
  result.elapsedMs = outcome.elapsedMs;
  result.saveFolder = rt::Text(outcome.saveFolder);
  view.SetStatusText(batch::BatchSummary(result.total, result.processed, result.elapsedMs).view());
  std::string question(gbk::BatchOpenFolderQuestion);
  question += outcome.saveFolder;
  if (view.AskYesNo(question) == 5) view.OpenFolder(outcome.saveFolder);
  return result;
}

}  // namespace

BatchResult BatchProcess(const rt::TextArray& files, text::ProcessOptions& options, BatchView& view,
                         std::int64_t unlisted) {
  std::vector<std::string_view> paths;
  paths.reserve(files.size());
  for (std::size_t i = 1; i <= files.size(); ++i) paths.push_back(files[static_cast<std::int64_t>(i)]);
  return Run(paths, options, view, unlisted);
}

BatchResult BatchProcess(std::span<const std::string> files, text::ProcessOptions& options, BatchView& view) {
  std::vector<std::string_view> paths(files.begin(), files.end());
  return Run(paths, options, view, 0);
}

}  // namespace tl::app
