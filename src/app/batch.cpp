#include "app/batch.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/elapsed_text.h"
#include "fs/file_list.h"
#include "gbk_texts.h"
#include "runtime/file_io.h"
#include "runtime/message_pump.h"
#include "runtime/path_text.h"
#include "runtime/random.h"
#include "text/file_text.h"

namespace tl::app {

namespace {

constexpr char kSep = rt::fileio::kSeparator;

// A source is known by its file identity when it exists, else by its path.
struct SourceKey {
  std::optional<rt::fileio::FileIdentity> id;
  std::string path;
  bool operator==(const SourceKey& o) const { return id && o.id ? *id == *o.id : path == o.path; }
};

std::pair<std::uint64_t, std::uint64_t> Pair(const rt::fileio::FileIdentity& id) { return {id.device, id.index}; }

BatchResult Run(std::size_t n, std::string_view (*at)(const void*, std::size_t), const void* list,
                text::ProcessOptions& options, BatchView& view) {
  BatchResult result;
  const std::uint32_t start = rt::TickCount();
  if (n == 0) return result;

  const std::string_view first = at(list, 0);
  std::string saveFolder = rt::FindLastSeparator(first) == std::string_view::npos
                               ? std::string(".")
                               : std::string(fs::DirectoryOf(first).view());
  saveFolder += kSep;
  saveFolder += gbk::BatchSaveFolderName;
  saveFolder += kSep;
  fs::EnsureDirectories(saveFolder);  // if this fails every file fails and the summary says so
  view.SetProgressMaximum(static_cast<std::int32_t>(n));

  std::vector<SourceKey> keys(n);
  std::set<std::pair<std::uint64_t, std::uint64_t>> sourceIds;
  for (std::size_t i = 0; i < n; ++i) {
    keys[i].path = std::string(at(list, i));
    keys[i].id = rt::fileio::IdentityOf(keys[i].path);
    if (keys[i].id) sourceIds.insert(Pair(*keys[i].id));
  }
  std::map<std::string, SourceKey> written;  // result path -> source that wrote it

  std::int64_t ok = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view path = at(list, i);
    std::string status(1, '(');
    status += std::to_string(n);
    status += ':';
    status += std::to_string(i + 1);
    status += ") ";
    status += fs::BaseNameOf(path).view();
    status += "\r\n";
    view.SetStatusText(status);
    view.SetProgressPosition(static_cast<std::int32_t>(i + 1));

    std::string target = saveFolder + std::string(text::FileNameOf(path).view());
    bool allowed = true;
    if (auto targetId = rt::fileio::IdentityOf(target); targetId && sourceIds.count(Pair(*targetId)))
      allowed = false;  // would replace a file this batch reads
    if (auto it = written.find(target); allowed && it != written.end() && !(it->second == keys[i]))
      allowed = false;  // another source's result of the same name
    if (allowed && text::ProcessFile(path, saveFolder, options)) {
      ++ok;
      written.insert_or_assign(target, keys[i]);
    }
    rt::DoEvents();
    if (view.Stopped()) {
      result.total = static_cast<std::int64_t>(n);
      result.processed = ok;
      return result;
    }
  }

  // Unsigned 32-bit difference: right across a wrap of the tick count.
  const std::uint32_t elapsed = rt::TickCount() - start;
  result.total = static_cast<std::int64_t>(n);
  result.processed = ok;
  result.elapsedMs = static_cast<std::int64_t>(elapsed);
  result.saveFolder = rt::Text(saveFolder);
  view.SetStatusText(BatchSummary(result.total, ok, result.elapsedMs).view());
  std::string question(gbk::BatchOpenFolderQuestion);
  question += saveFolder;
  if (view.AskYesNo(question) == 5) view.OpenFolder(saveFolder);
  return result;
}

}  // namespace

BatchResult BatchProcess(const rt::TextArray& files, text::ProcessOptions& options, BatchView& view) {
  return Run(
      files.size(),
      [](const void* l, std::size_t i) { return (*static_cast<const rt::TextArray*>(l))[static_cast<std::int64_t>(i) + 1]; },
      &files, options, view);
}

BatchResult BatchProcess(std::span<const std::string> files, text::ProcessOptions& options, BatchView& view) {
  return Run(
      files.size(),
      [](const void* l, std::size_t i) {
        return std::string_view((*static_cast<const std::span<const std::string>*>(l))[i]);
      },
      &files, options, view);
}

}  // namespace tl::app
