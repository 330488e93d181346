// Temporary-file names and the stale-file sweep, shared by every OS.
#include "runtime/os/temp_names.h"

#include "runtime/os/temp_files.h"

namespace tl::os {

namespace fio = rt::fileio;

std::string TempFolder(std::string_view dir) {
  std::string d(dir);
  if (!d.empty() && d.back() != fio::kSeparator && d.back() != '/') d += fio::kSeparator;
  return d;
}

unsigned long PidOfTempName(std::string_view name) {
  if (!name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) return 0;
  name.remove_prefix(kTempPrefix.size());
  unsigned long pid = 0;
  std::size_t i = 0;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 100000000; ++i) pid = pid * 10 + (name[i] - '0');
  return i > 0 && i < name.size() && name[i] == '-' ? pid : 0;
}

std::string TempStem(const std::string& folder, unsigned long pid) {
  return folder + std::string(kTempPrefix) + std::to_string(pid) + "-";
}

std::size_t SweepStaleTempFiles(std::string_view dir) {
  const std::string folder = TempFolder(dir);
  const std::string pattern = folder + std::string(kTempPrefix) + "*" + std::string(kTempSuffix);
  fio::DirEntry entry;
  fio::DirSearch* search = fio::FindFirst(pattern, entry);
  if (!search) return 0;
  std::size_t removed = 0;
  const unsigned long self = CurrentProcessId();
  do {
    if (entry.attributes & fio::kAttrDirectory) continue;
    const unsigned long pid = PidOfTempName(entry.name);
    if (pid == 0 || pid == self || !ProcessGone(pid)) continue;
    if (RemoveStaleTempFile(folder + entry.name)) ++removed;
  } while (fio::FindNext(search, entry));
  fio::FindClose(search);
  return removed;
}

}  // namespace tl::os
