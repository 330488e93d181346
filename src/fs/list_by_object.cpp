#include "fs/list_by_object.h"

#include <string>

#include "fs/fs_wrappers.h"
#include "runtime/os/files.h"
#include "runtime/core/message_pump.h"
#include "text/file_type_filter.h"
#include "text/regex_matcher.h"

namespace tl::fs {

using rt::fileio::kSeparator;

int ListFilesByObject(std::string_view folder, std::string_view filter, rt::TextArray& list, bool keep,
                      bool listFolders) {
  FsObject fso;
  if (!keep) list = rt::TextArray();
  std::string base(folder);
  if (base.empty() || base.back() != kSeparator) base += kSeparator;
  text::FileTypeFilter accepts(filter.empty() ? std::string_view("*") : filter);

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
    if (!name.empty() && accepts.FileTypeMatches(name.view())) list.Append(base + std::string(name.view()));
    rt::DoEvents();
  }
  return static_cast<int>(list.size());
}

rt::TextArray ListFilesByObject(std::string_view folder, std::string_view filter) {
  rt::TextArray list;
  ListFilesByObject(folder, filter, list, false, false);
  return list;
}

}  // namespace tl::fs
