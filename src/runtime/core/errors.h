// Fatal runtime errors. Every fatal path ends here: the error dialog is shown
// (through the installed presenter), the shutdown sequence runs, and the
// process ends with exit code -1.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tl::rt {

// Codes 1..11 of the runtime error table.
enum RuntimeErrorCode : int {
  kErrIndexAboveCount = 1,
  kErrNotNumeric = 2,
  kErrDimensionMismatch = 3,
  kErrIndexBelowOne = 4,
  kErrTypeMismatch = 5,
  kErrStackUnbalanced = 6,
  kErrNoSubValue = 7,
  kErrOrderCompare = 8,
  kErrChooseIndex = 9,
  kErrRedimSize = 10,
  kErrArgumentKind = 11,
};

// The GBK message of code 1..11; empty for any other code.
std::string_view RuntimeErrorMessage(int code);

// The dialog text: "运行时出错!\r\n\r\n" [+ "错误代码：N\r\n\r\n"] [+ "错误信息：msg\r\n"].
std::string RuntimeErrorText(std::string_view message, int code);

[[noreturn]] void RaiseRuntimeError(int code);
// A fatal error with a GBK message and no code.
[[noreturn]] void FatalError(std::string_view message);
[[noreturn]] void FatalAllocation(std::size_t size);

// Shows the dialog text. Until a window system is up the default writes the
// text to standard error; the window runtime installs the message box.
using ErrorPresenter = void (*)(std::string_view dialogText);
ErrorPresenter SetErrorPresenter(ErrorPresenter presenter);

// Ends the process with `code` after the shutdown sequence. The window
// runtime installs the full sequence; the default runs the shutdown hook.
using ExitHandler = void (*)(int code);
ExitHandler SetExitHandler(ExitHandler handler);
[[noreturn]] void ExitProgram(int code);

// The application's global-cleanup routine, called once at shutdown and then
// forgotten.
using ShutdownHook = void (*)();
void SetShutdownHook(ShutdownHook hook);
void RunShutdownHookOnce();

}  // namespace tl::rt
