// The runtime's directory search services (FindFile = service 0, CloseFind =
// service 1): the caller keeps the search handle in an int variable between
// calls, 0 meaning that no search is open.
#pragma once
#include <cstdint>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

inline constexpr int kFindAttributeMask = 0x37;

// A non-empty pattern starts a new search (closing one still open in
// `handle`); an empty pattern continues the search in `handle`. Entries are
// read until one is accepted: with filesOnly != 0 every non-directory;
// otherwise an entry whose attributes share a bit with mask & 0x37, or whose
// attributes are 0 when that is 0. Returns the accepted entry's name; when
// the entries run out the search is closed, `handle` becomes 0 and the
// result is empty. `nameKept`, when given, receives the accepted entry's
// fileio::DirEntry::nameKept.
Text FindFile(std::string_view pattern, std::int32_t mask, std::int32_t filesOnly, std::int32_t& handle,
              bool* nameKept = nullptr);
void CloseFind(std::int32_t handle);

// Arguments: pattern, mask, files-only, handle variable (IntVariable).
extern const Command kFindFile;
// Argument: the handle value.
extern const Command kCloseFind;

}  // namespace tl::rt
