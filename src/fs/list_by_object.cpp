#include "fs/list_by_object.h"

#include <set>
#include <string>
#include <vector>

#include "fs/fs_wrappers.h"
#include "runtime/os/files.h"
#include "runtime/core/message_pump.h"
#include "text/file_type_filter.h"
#include "text/regex_matcher.h"

namespace tl::fs {

using rt::fileio::kSeparator;

int ListFilesByObject(std::string_view folder, std::string_view filter, rt::TextArray& list, bool keep,
                      bool listFolders, rt::TextArray* uncarried) {
  FsObject fso;
  if (!keep) list = rt::TextArray();
  std::string base(folder);
  if (base.empty() || base.back() != kSeparator) base += kSeparator;
  text::FileTypeFilter accepts(filter.empty() ? std::string_view("*") : filter);

  // The object reads a name that is not UTF-8 as GBK, so such an entry comes
  // under the name of another file, or of none. A name is listed only as
  // often as the directory search finds entries that carry it; the entries
  // whose names cannot be carried are reported instead.
  // Taken at once, before the walk yields to the message loop.
  std::multiset<std::string, std::less<>> available;
  std::vector<std::string> lost;
  {
    rt::fileio::DirEntry e;
    rt::fileio::DirSearch* search = rt::fileio::FindFirst(base + "*", e);
    for (bool more = search != nullptr; more; more = rt::fileio::FindNext(search, e)) {
      if (((e.attributes & rt::fileio::kAttrDirectory) != 0) != listFolders || e.name == "." || e.name == "..")
        continue;
      if (e.nameKept)
        available.insert(std::move(e.name));
      else
        lost.push_back(std::move(e.name));
    }
    rt::fileio::FindClose(search);
  }
  std::size_t misnamed = 0;

  const FsFolder dir = fso.GetFolder(base);
  const rt::Object items = dir.Items(listFolders);
  text::CollectionEnumerator walk;
  walk.Start(items.holder());
  rt::VariantValue item;
  while (walk.Next(item)) {
    rt::Object itemObject;
    if (item.get().vt == rt::automation::kVtDispatch && item.get().pdispVal) {
      rt::ObjectHolder h{item.get().pdispVal, nullptr};
      rt::AssignObject(itemObject.holder(), h);
    }
    FsItem entry;
    entry.Attach(itemObject.holder());
    const rt::Text name = entry.Name();
    if (!name.empty() && accepts.FileTypeMatches(name.view())) {
      if (const auto it = available.find(name.view()); it != available.end()) {
        available.erase(it);
        list.Append(base + std::string(name.view()));
      } else {
        ++misnamed;
      }
    }
    rt::DoEvents();
  }
  // An entry the object names differently (a name it decoded as GBK) is
  // still a file of the folder: it comes last, under its own name.
  if (misnamed > 0)
    for (const std::string& name : available)
      if (accepts.FileTypeMatches(name)) list.Append(base + name);
  if (uncarried)
    for (const std::string& name : lost)
      if (accepts.FileTypeMatches(name)) uncarried->Append(base + name);
  return static_cast<int>(list.size());
}

rt::TextArray ListFilesByObject(std::string_view folder, std::string_view filter, rt::TextArray* uncarried) {
  rt::TextArray list;
  ListFilesByObject(folder, filter, list, false, false, uncarried);
  return list;
}

}  // namespace tl::fs
