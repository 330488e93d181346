#include "runtime/commands/file_search.h"

#include <climits>
#include <unordered_map>

#include "runtime/os/files.h"

namespace tl::rt {

namespace {

struct SearchTable {
  std::unordered_map<std::int32_t, fileio::DirSearch*> open;
  std::int32_t next = 1;

  std::int32_t Add(fileio::DirSearch* s) {
    while (next <= 0 || open.count(next)) next = next <= 0 || next == INT_MAX ? 1 : next + 1;
    std::int32_t h = next++;
    open.emplace(h, s);
    return h;
  }
  fileio::DirSearch* Find(std::int32_t h) {
    auto it = open.find(h);
    return it == open.end() ? nullptr : it->second;
  }
  void Close(std::int32_t h) {
    auto it = open.find(h);
    if (it == open.end()) return;
    fileio::FindClose(it->second);
    open.erase(it);
  }
};

SearchTable& Searches() {
  static SearchTable table;
  return table;
}

bool Accepted(std::uint32_t attributes, std::int32_t mask, std::int32_t filesOnly) {
  if (filesOnly != 0) return (attributes & fileio::kAttrDirectory) == 0;
  const std::uint32_t m = static_cast<std::uint32_t>(mask) & kFindAttributeMask;
  return (attributes & m) != 0 || (m == 0 && attributes == 0);
}

}  // namespace

Text FindFile(std::string_view pattern, std::int32_t mask, std::int32_t filesOnly, std::int32_t& handle,
              bool* nameKept) {
  SearchTable& table = Searches();
  fileio::DirEntry entry;
  fileio::DirSearch* search = nullptr;
  bool have = false;
  if (!pattern.empty()) {
    table.Close(handle);
    handle = 0;
    search = fileio::FindFirst(pattern, entry);
    if (!search) return {};
    handle = table.Add(search);
    have = true;
  } else {
    search = table.Find(handle);
    if (!search) {
      handle = 0;
      return {};
    }
  }
  for (;;) {
    if (!have) have = fileio::FindNext(search, entry);
    if (!have) break;
    if (Accepted(entry.attributes, mask, filesOnly)) {
      if (nameKept) *nameKept = entry.nameKept;
      return Text(entry.name);
    }
    have = false;
  }
  table.Close(handle);
  handle = 0;
  return {};
}

void CloseFind(std::int32_t handle) { Searches().Close(handle); }

const Command kFindFile{"FindFile", [](ResultRecord& r, int argc, const TypedArg* args) {
  std::int32_t local = 0;
  std::int32_t* var = &local;
  if (const TypedArg* a = ArgAt(argc, args, 3); a && IsIndirect(a->tag) && a->pointer())
    var = static_cast<std::int32_t*>(a->pointer());
  ReturnText(r, FindFile(ArgText(argc, args, 0), ArgInt(argc, args, 1).value_or(0),
                         ArgInt(argc, args, 2).value_or(0), *var));
}};

const Command kCloseFind{"CloseFind", [](ResultRecord&, int argc, const TypedArg* args) {
  CloseFind(ArgInt(argc, args, 0).value_or(0));
}};

}  // namespace tl::rt
