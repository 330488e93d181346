#include "fs/file_list.h"

#include <string>

#include "runtime/os/files.h"
#include "runtime/commands/file_search.h"
#include "runtime/commands/files.h"
#include "runtime/core/message_pump.h"
#include "runtime/core/gbk_view.h"

namespace tl::fs {

namespace {

constexpr char kSep = rt::fileio::kSeparator;

}  // namespace

bool SkipsDirectoryPrefix(std::string_view prefix, char separator) {
  if (prefix.empty()) return true;
  const bool letter = prefix.size() == 2 && ((prefix[0] >= 'A' && prefix[0] <= 'Z') || (prefix[0] >= 'a' && prefix[0] <= 'z'));
  return separator == '\\' && letter && prefix[1] == ':';
}

std::string_view DirectoryOf(std::string_view path) {
  const std::size_t p = gbk::FindLastSeparator(path);
  return p == std::string_view::npos ? std::string_view() : path.substr(0, p);
}

std::string_view FileNameOf(std::string_view path) {
  const std::size_t p = gbk::FindLastSeparator(path);
  return p == std::string_view::npos ? path : path.substr(p + 1);
}

std::string_view BaseNameOf(std::string_view path) {
  const std::string_view name = FileNameOf(path);
  const std::size_t dot = gbk::FindLastCharacter(name, '.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

bool EnsureDirectories(std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (gbk::IsLead(path[i])) {
      ++i;
      continue;
    }
    if (path[i] != kSep) continue;
    const std::string_view prefix = path.substr(0, i);
    if (!SkipsDirectoryPrefix(prefix, kSep) && !rt::FileExists(prefix) && !rt::MakeDirectory(prefix)) return false;
  }
  return true;
}

int ListFiles(std::string_view folder, std::string_view filter, rt::TextArray& list, bool keep,
              bool listFolders, rt::TextArray* uncarried) {
  std::string dir(folder);
  if (dir.empty() || dir.back() != kSep) dir += kSep;
  if (filter.empty()) filter = "*.*";
  if (!keep) list = rt::TextArray();
  const std::int32_t mask = listFolders ? rt::fileio::kAttrDirectory : 0;
  const std::int32_t filesOnly = listFolders ? 0 : 1;
  std::int32_t handle = 0;
  // Split at "|" the way the runtime splits texts: empty pieces between two
  // separators are kept, a trailing separator adds none.
  std::size_t start = 0;
  while (start < filter.size()) {
    std::size_t end = start;
    while (end < filter.size() && filter[end] != '|')
      end += gbk::IsLead(filter[end]) ? 2 : 1;
    end = end > filter.size() ? filter.size() : end;
    const std::string pattern = dir + std::string(filter.substr(start, end - start));
    bool kept = true;
    for (rt::Text name = rt::FindFile(pattern, mask, filesOnly, handle, &kept); !name.empty();
         name = rt::FindFile("", mask, filesOnly, handle, &kept)) {
      if (name.view() == "." || name.view() == "..") {
      } else if (kept) {
        list.Append(dir + std::string(name.view()));
      } else if (uncarried) {
        uncarried->Append(dir + std::string(name.view()));
      }
      rt::DoEvents();
    }
    start = end + 1;
  }
  rt::CloseFind(handle);
  return static_cast<int>(list.size());
}

}  // namespace tl::fs
