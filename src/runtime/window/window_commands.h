// Commands that reach the window system: message box, clipboard, the
// multi-select open-file dialog, loading windows, pending events, moving and
// re-parenting windows and controls. Failures are results, never errors.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"
#include "runtime/window/window_runtime.h"

namespace tl::rt {

// Flags are a Win32 MB_* word; MB_TASKMODAL is added unless MB_SYSTEMMODAL
// is given. Returns OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6.
std::int32_t ShowMessage(std::string_view content, std::int32_t flags,
                         std::optional<std::string_view> caption = std::nullopt);
Text GetClipboardText();
// The same as a plain string, handed over without a further copy.
std::string GetClipboardString();
bool SetClipboardText(std::string_view text);
// Full paths of the chosen files in order; the empty array on cancel.
TextArray OpenFilesDialog(std::optional<std::string_view> title = std::nullopt,
                          std::optional<std::string_view> filter = std::nullopt,
                          std::optional<std::int32_t> filter_index = std::nullopt,
                          std::optional<std::string_view> initial_directory = std::nullopt,
                          std::optional<std::int32_t> keep_directory = std::nullopt);
// False for an unknown window or an owner that is not loaded. A window of the
// template that cannot be built (a bad unit) is the one failure that is not a
// result: it ends the program through the runtime error dialog.
bool LoadWindow(std::uint32_t window, std::optional<std::uint32_t> parent = std::nullopt,
                std::optional<bool> modal = std::nullopt);

// Splits "name|pattern|name|pattern" (stepping over two-byte characters)
// into pairs; a trailing "||" or an empty name ends the list.
std::vector<std::pair<std::string, std::string>> ParseFileFilter(std::string_view filter);

// A window or control reference in the frame: a long (window << 32 | unit),
// or an int holding a window id alone.
TypedArg ControlArg(ControlRef ref);
std::optional<ControlRef> ArgControl(int argc, const TypedArg* args, int i);

namespace cmd {
extern const Command kShowMessage;      // any, int, [text] -> int
extern const Command kGetClipboardText;  // -> text
extern const Command kSetClipboardText;  // text -> bool
extern const Command kOpenFilesDialog;   // [text], [text], [int], [text], [int] -> text array
extern const Command kLoadWindow;        // control ref, [control ref], [bool] -> bool
extern const Command kDoEvents;          // -> nothing
extern const Command kMoveControl;       // control ref, [int] x4
extern const Command kSetParentWindow;   // control ref, control ref
}  // namespace cmd

}  // namespace tl::rt
