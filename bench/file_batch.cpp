// Runs the file batch engine without a window, for the file benchmarks, until
// tidyline-cli carries the batch mode itself:
//   file_batch [-d] [-s] FILE...
//   file_batch [-d] [-s] --folder DIR [--filter PATTERN]
// Paths are taken as they are (UTF-8 terminals: ASCII paths only). Exit 0
// when every file was processed.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/batch.h"
#include "fs/file_list.h"
#include "text/process_text.h"

namespace {

struct QuietView : tl::app::BatchView {
  void SetStatusText(std::string_view) override {}
  void SetProgressMaximum(std::int32_t) override {}
  void SetProgressPosition(std::int32_t) override {}
  int AskYesNo(std::string_view) override { return 6; }
  void OpenFolder(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
  tl::text::FixedOptions options;
  options.dedupe = false;
  std::vector<std::string> files;
  std::string folder, filter;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-d")) options.dedupe = true;
    else if (!std::strcmp(argv[i], "-s")) options.shuffle = true;
    else if (!std::strcmp(argv[i], "--folder") && i + 1 < argc) folder = argv[++i];
    else if (!std::strcmp(argv[i], "--filter") && i + 1 < argc) filter = argv[++i];
    else files.emplace_back(argv[i]);
  }
  QuietView view;
  tl::app::BatchResult r;
  if (!folder.empty()) {
    tl::rt::TextArray list;
    tl::fs::ListFiles(folder, filter, list, false, false);
    r = tl::app::BatchProcess(list, options, view);
  } else {
    r = tl::app::BatchProcess(std::span<const std::string>(files), options, view);
  }
  std::fprintf(stderr, "%lld of %lld files processed\n", static_cast<long long>(r.processed),
               static_cast<long long>(r.total));
  return r.processed == r.total ? 0 : 1;
}
