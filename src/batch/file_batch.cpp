#include "batch/file_batch.h"

#include <map>
#include <optional>
#include <set>
#include <utility>

#include "fs/file_list.h"
#include "gbk_texts.h"
#include "runtime/core/gbk_view.h"
#include "runtime/core/message_pump.h"
#include "runtime/os/files.h"
#include "runtime/core/random.h"
#include "text/file_text.h"

namespace tl::batch {

namespace {

constexpr char kSep = rt::fileio::kSeparator;
using Identity = std::optional<rt::fileio::FileIdentity>;

std::pair<std::uint64_t, std::uint64_t> Pair(const rt::fileio::FileIdentity& id) { return {id.device, id.index}; }

// A source is known by its file identity when it exists, else by its path.
bool SameSource(const Identity& a, std::string_view pathA, const Identity& b, std::string_view pathB) {
  return a && b ? *a == *b : pathA == pathB;
}

// Reads, processes and writes one file whose target is already checked.
FileResult ProcessOne(std::string_view path, const std::string& target, text::ProcessOptions& options) {
  FileResult r;
  rt::Text result;
  {
    text::FileText source = text::ReadTextFile(path, options.EncodingChoice());
    r.bytesIn = source.sourceBytes;
    if (source.invalidAt >= 0) {
      r.status = FileStatus::kInvalidText;
      r.encoding = source.code;
      r.invalidAt = source.invalidAt;
      return r;
    }
    if (!source.opened) r.status = FileStatus::kUnopenable;
    if (!source.ok) return r;
    r.encoding = source.code;
    result = text::ProcessText(source.text.view(), options);
  }  // the source text goes before the result is encoded
  rt::DoEvents();
  r.status = text::WriteTextFile(target, result.view(), r.encoding, &r.bytesOut) ? FileStatus::kProcessed
                                                                                  : FileStatus::kNotWritten;
  return r;
}

}  // namespace

std::string ReasonOf(const FileResult& result) {
  switch (result.status) {
    case FileStatus::kProcessed: return {};
    case FileStatus::kInvalidText: return text::InvalidTextReason(result.encoding, result.invalidAt);
    case FileStatus::kUnopenable: return "cannot be opened for reading";
    case FileStatus::kUnreadable: return "cannot be read whole as text";
    case FileStatus::kNotWritten: return "cannot write the result";
    case FileStatus::kWouldReplaceSource: return "the result would replace a file of this batch";
    case FileStatus::kNameTaken: return "another file of the same name has its result there";
    case FileStatus::kReported: return "not processed";
  }
  return {};
}

std::string SaveFolderFor(std::string_view firstPath) {
  std::string folder = gbk::FindLastSeparator(firstPath) == std::string_view::npos
                           ? std::string(".")
                           : std::string(fs::DirectoryOf(firstPath));
  folder += kSep;
  folder += gbk::BatchSaveFolderName;
  folder += kSep;
  return folder;
}

BatchOutcome ProcessFiles(std::span<const std::string_view> paths, text::ProcessOptions& options,
                          FileObserver& observer) {
  BatchOutcome out;
  const std::uint32_t start = rt::TickCount();
  const std::size_t n = paths.size();
  if (n == 0) return out;

  out.saveFolder = SaveFolderFor(paths[0]);
  fs::EnsureDirectories(out.saveFolder);  // if this fails every file fails and the summary says so

  std::vector<Identity> ids(n);
  std::set<std::pair<std::uint64_t, std::uint64_t>> sourceIds;
  for (std::size_t i = 0; i < n; ++i) {
    ids[i] = rt::fileio::IdentityOf(paths[i]);
    if (ids[i]) sourceIds.insert(Pair(*ids[i]));
  }
  std::map<std::string, std::size_t, std::less<>> written;  // result path -> index of the source that wrote it

  out.files.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view path = paths[i];
    observer.FileStarting(i, n, path);
    FileResult& r = out.files[i];

    std::string target = out.saveFolder;
    target += fs::FileNameOf(path);
    const auto w = written.find(target);
    if (auto targetId = rt::fileio::IdentityOf(target); targetId && sourceIds.count(Pair(*targetId))) {
      r.status = FileStatus::kWouldReplaceSource;
    } else if (w != written.end() && !SameSource(ids[w->second], paths[w->second], ids[i], path)) {
      r.status = FileStatus::kNameTaken;
    } else {
      if (!observer.ProcessInstead(path, target, r)) r = ProcessOne(path, target, options);
      if (r.status == FileStatus::kProcessed) {
        ++out.processed;
        written.insert_or_assign(std::move(target), i);
      }
    }
    observer.FileFinished(i, path, r);
    rt::DoEvents();
    if (observer.Stopped()) {
      out.files.resize(i + 1);
      out.stopped = true;
      return out;
    }
  }

  // Unsigned 32-bit difference: right across a wrap of the tick count.
  const std::uint32_t elapsed = rt::TickCount() - start;
  out.elapsedMs = static_cast<std::int64_t>(elapsed);
  return out;
}

}  // namespace tl::batch
