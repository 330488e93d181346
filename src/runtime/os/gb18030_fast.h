// Built-in UTF-8 <-> GB18030 conversion for CharsetConverter. Files are read
// and written through exactly this pair, and glibc's generic converter is a
// large share of a batch's time. The tables are taken from iconv itself on
// first use, so the result (including which inputs are rejected, and where)
// is the same as iconv's on this machine.
#pragma once
#include <cstddef>

#include "runtime/os/charset.h"

namespace tl::rt::gb18030 {

struct Tables;

// The shared tables, built once; null when iconv cannot provide them or
// behaves in a way this converter does not reproduce (then callers use
// iconv).
const Tables* SharedTables();

// Both advance their four arguments exactly like iconv() would and stop at
// the same place with the same status.
CharsetConverter::Status Utf8ToGb18030(const Tables& t, const char*& in, std::size_t& inLeft,
                                       char*& out, std::size_t& outLeft);
CharsetConverter::Status Gb18030ToUtf8(const Tables& t, const char*& in, std::size_t& inLeft,
                                       char*& out, std::size_t& outLeft);

}  // namespace tl::rt::gb18030
