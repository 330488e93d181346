// The folder dialog of the folder batch.
#pragma once
#include <optional>
#include <string_view>

#include "runtime/core/value.h"

namespace tl::fs {

// Shows the folder browser opened at `initial`, titled `prompt` (default
// "请选择一个文件夹"), and returns the chosen folder exactly as the dialog
// gives it — a name may begin or end with spaces. Empty on cancel. The
// include-files, edit-box and new-style options of the Windows browser take
// their defaults (false, true, true: flags 0x50).
rt::Text ChooseFolder(std::string_view initial, std::optional<std::string_view> prompt = std::nullopt);

}  // namespace tl::fs
