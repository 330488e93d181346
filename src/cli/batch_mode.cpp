#include "cli/batch_mode.h"

#include <cstdio>
#include <filesystem>
#include <span>
#include <system_error>

#include "app/batch.h"
#include "cli/input.h"
#include "cli/terminal_text.h"
#include "fs/file_list.h"
#include "fs/list_by_object.h"
#include "runtime/file_io.h"

namespace tl::cli {
namespace {

void PrintLine(std::string_view programText, std::FILE* stream) {
  std::string line = ToTerminal(programText);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  std::fprintf(stream, "%s\n", line.c_str());
}

// Status lines and the summary go to standard error; the question whether to
// open the save folder is answered "no" without asking.
class StderrBatchView : public app::BatchView {
 public:
  void SetStatusText(std::string_view text) override { PrintLine(text, stderr); }
  void SetProgressMaximum(std::int32_t) override {}
  void SetProgressPosition(std::int32_t) override {}
  int AskYesNo(std::string_view) override { return kNo; }
  void OpenFolder(std::string_view) override {}

 private:
  static constexpr int kNo = 6;
};

int Run(std::span<const std::string> files, text::FixedOptions& options) {
  StderrBatchView view;
  app::BatchResult result = app::BatchProcess(files, options, view);
  return result.processed == result.total ? 0 : 1;
}

}  // namespace

int RunBatchMode(const std::vector<std::string>& files, text::FixedOptions& options) {
  return Run(files, options);
}

int RunFolderMode(const FolderRequest& request, text::FixedOptions& options) {
  // A listing reads an unreadable folder as an empty one; say which folder
  // and why instead, for --list too.
  std::error_code error;
  std::filesystem::directory_iterator probe(std::filesystem::path(rt::fileio::ToOsName(request.folder)), error);
  if (error) {
    std::fprintf(stderr, "tidyline-cli: cannot open folder '%s': %s\n", ToTerminal(request.folder).c_str(),
                 error.message().c_str());
    return 1;
  }

  rt::TextArray list;
  if (request.byObject)
    list = fs::ListFilesByObject(request.folder, request.filter);
  else
    fs::ListFiles(request.folder, request.filter, list, false, false);

  std::vector<std::string> files;
  files.reserve(list.size());
  for (std::size_t i = 1; i <= list.size(); ++i) files.emplace_back(list[static_cast<std::int64_t>(i)]);

  if (request.listOnly) {
    for (const auto& f : files) PrintLine(f, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (files.empty()) {
    std::fprintf(stderr, "tidyline-cli: no file in %s matches %s\n", ToTerminal(request.folder).c_str(),
                 request.filter.empty() ? "*.*" : ToTerminal(request.filter).c_str());
    return 1;
  }
  return Run(files, options);
}

}  // namespace tl::cli
