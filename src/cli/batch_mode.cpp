#include "cli/batch_mode.h"

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "batch/elapsed_text.h"
#include "batch/file_batch.h"
#include "cli/terminal_text.h"
#include "fs/file_list.h"
#include "fs/list_by_object.h"
#include "runtime/os/files.h"

namespace fio = tl::rt::fileio;

namespace tl::cli {
namespace {

void PrintLine(std::string_view programText, std::FILE* stream) {
  std::string line = ToTerminal(programText);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  std::fprintf(stream, "%s\n", line.c_str());
}

// Status lines, each failed file with its reason and the summary go to
// standard error.
class StderrObserver : public batch::FileObserver {
 public:
  StderrObserver(const StreamRequest& stream, text::FixedOptions& options)
      : quiet_(stream.quiet), stream_(stream), options_(options) {}
  void FileStarting(std::size_t index, std::size_t count, std::string_view path) override {
    if (quiet_) return;
    std::string status = "(" + std::to_string(count) + ":" + std::to_string(index + 1) + ") ";
    status += fs::BaseNameOf(path);
    PrintLine(status, stderr);
  }
  // A file too large for the in-memory engine goes through external mode,
  // which names its own failures.
  bool ProcessInstead(std::string_view path, const std::string& target, batch::FileResult& result) override {
    const fio::Handle h = fio::Open(path, fio::Access::kRead, fio::Disposition::kOpenExisting, fio::Share::kReadWrite);
    if (h == fio::kNoHandle) return false;
    const std::int64_t size = fio::Size(h);
    fio::Close(h);
    if (FitsInMemory(size, stream_.memory)) return false;
    const bool ok = ProcessFileExternally(std::string(path), target, stream_, options_) == 0;
    result.status = ok ? batch::FileStatus::kProcessed : batch::FileStatus::kReported;
    result.bytesIn = size;
    return true;
  }
  void FileFinished(std::size_t, std::string_view path, const batch::FileResult& result) override {
    if (result.status == batch::FileStatus::kProcessed || result.status == batch::FileStatus::kReported) return;
    std::fprintf(stderr, "tidyline-cli: '%s': %s\n", ToTerminal(path).c_str(), batch::ReasonOf(result).c_str());
  }

 private:
  bool quiet_;
  const StreamRequest& stream_;
  text::FixedOptions& options_;
};

constexpr const char* kNameNotCarried = "the name cannot be converted exactly, so it is not opened";

// Entries whose names cannot be carried through the program's text, one
// failure line each.
void ReportUncarried(const rt::TextArray& uncarried) {
  for (std::size_t i = 1; i <= uncarried.size(); ++i)
    std::fprintf(stderr, "tidyline-cli: '%s': %s\n", ToTerminal(uncarried[static_cast<std::int64_t>(i)]).c_str(),
                 kNameNotCarried);
}

// `failedBefore` files already failed before the batch (counted in the
// summary's total).
int Run(std::span<const std::string> files, text::FixedOptions& options, const StreamRequest& stream,
        std::size_t failedBefore = 0) {
  const bool quiet = stream.quiet;
  std::vector<std::string_view> paths(files.begin(), files.end());
  StderrObserver observer(stream, options);
  const batch::BatchOutcome outcome = batch::ProcessFiles(paths, options, observer);
  const auto total = static_cast<std::int64_t>(paths.size() + failedBefore);
  if (!quiet) PrintLine(batch::BatchSummary(total, outcome.processed, outcome.elapsedMs).view(), stderr);
  return outcome.processed == total ? 0 : 1;
}

}  // namespace

int RunBatchMode(const std::vector<std::string>& files, text::FixedOptions& options, const StreamRequest& stream) {
  return Run(files, options, stream);
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
  rt::TextArray uncarried;
  if (request.byObject)
    list = fs::ListFilesByObject(request.folder, request.filter, &uncarried);
  else
    fs::ListFiles(request.folder, request.filter, list, false, false, &uncarried);
  ReportUncarried(uncarried);

  std::vector<std::string> files;
  files.reserve(list.size());
  for (std::size_t i = 1; i <= list.size(); ++i) files.emplace_back(list[static_cast<std::int64_t>(i)]);

  if (request.listOnly) {
    for (const auto& f : files) PrintLine(f, stdout);
    return std::fflush(stdout) == 0 && uncarried.size() == 0 ? 0 : 1;
  }
  if (files.empty() && uncarried.size() == 0) {
    std::fprintf(stderr, "tidyline-cli: no file in %s matches %s\n", ToTerminal(request.folder).c_str(),
                 request.filter.empty() ? "*.*" : ToTerminal(request.filter).c_str());
    return 1;
  }
  if (files.empty()) {
    if (!request.quiet)
      PrintLine(batch::BatchSummary(static_cast<std::int64_t>(uncarried.size()), 0, 0).view(), stderr);
    return 1;
  }
  StreamRequest stream = request.stream;
  stream.quiet = request.quiet;
  return Run(files, options, stream, uncarried.size());
}

}  // namespace tl::cli
