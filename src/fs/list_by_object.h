// Listing a folder through the file-system object: the folder's files (or
// subfolders) in the folder's own order, kept when the file-name filter
// accepts them (FileTypeFilter: "|" separates alternatives of one
// expression, extension filters compare case-insensitively).
#pragma once
#include <string_view>

#include "runtime/core/value.h"

namespace tl::fs {

// Appends folder + separator + name for every accepted entry to `list`
// (emptied first unless keep) and returns the list's size. A folder that
// does not exist or cannot be read adds nothing. Yields to the message loop
// after each entry. An entry whose name cannot be carried through the
// program's text is never listed (as with ListFiles); it goes to
// `uncarried`, when given, if the filter accepts its escaped name.
int ListFilesByObject(std::string_view folder, std::string_view filter, rt::TextArray& list, bool keep,
                      bool listFolders, rt::TextArray* uncarried = nullptr);

// The files of `folder` that `filter` accepts, as GBK paths in list order.
rt::TextArray ListFilesByObject(std::string_view folder, std::string_view filter,
                                rt::TextArray* uncarried = nullptr);

}  // namespace tl::fs
