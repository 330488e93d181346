// Path pieces, creating a folder path level by level, and listing the files
// of a folder with the runtime's directory search.
#pragma once
#include <string_view>

#include "runtime/core/value.h"

namespace tl::fs {

// Paths use the platform's separator ("\" on Windows, "/" on Linux); a
// separator byte that is the second byte of a double-byte character does not
// count.

// Views into `path`:
// the part before the last separator; empty when there is none;
std::string_view DirectoryOf(std::string_view path);
// the part after the last separator, or the whole path;
std::string_view FileNameOf(std::string_view path);
// the file name cut before its last "." when it has one: "/a/b.c.txt" gives
// "b.c".
std::string_view BaseNameOf(std::string_view path);
// Creates every missing directory level of a path that ends with a
// separator. The prefix before each separator is skipped when
// SkipsDirectoryPrefix says so; it is created when nothing of that name
// exists. False when creating a level fails.
bool EnsureDirectories(std::string_view path);
// A prefix that is never created: empty (the root before a leading
// separator) or, with "\" as separator, a drive ("C:"). Any other prefix,
// two bytes long or not ("ab" of "ab\保存目录\"), is a folder to make.
bool SkipsDirectoryPrefix(std::string_view prefix, char separator);

// Lists the entries of `folder` (a separator is appended when missing) that
// match `filter`: "|"-separated patterns with "*" and "?", each searched in
// turn in the order the file system returns entries; an empty filter means
// "*.*". Files only (whatever their other attributes), or directories only
// with listFolders; "." and ".." are skipped. No sorting and no removal of
// duplicates: a name matching two patterns is listed twice. Appends full
// paths to `list` (emptied first unless keep) and returns its size.
// An entry whose name cannot be carried through the program's text (see
// fileio::DirEntry::nameKept) is never listed, since its path would open
// another file or none; it goes to `uncarried` when given (the folder and
// the escaped name, for messages only).
int ListFiles(std::string_view folder, std::string_view filter, rt::TextArray& list, bool keep,
              bool listFolders, rt::TextArray* uncarried = nullptr);

}  // namespace tl::fs
