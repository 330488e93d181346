#include "runtime/core/errors.h"

#include <cstdio>
#include <cstdlib>

#include "gbk_texts.h"

namespace tl::rt {
namespace {

void WriteToStderr(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

ErrorPresenter g_presenter = &WriteToStderr;
ExitHandler g_exit_handler = nullptr;
ShutdownHook g_shutdown_hook = nullptr;
bool g_in_fatal = false;

[[noreturn]] void ShowAndExit(std::string_view message, int code) {
  // A fatal error raised while the dialog or the shutdown runs must not loop.
  if (g_in_fatal) std::_Exit(-1);
  g_in_fatal = true;
  g_presenter(RuntimeErrorText(message, code));
  ExitProgram(-1);
}

}  // namespace

std::string_view RuntimeErrorMessage(int code) {
  static constexpr std::string_view kMessages[] = {
      gbk::ErrIndexAboveCount, gbk::ErrNotNumeric,      gbk::ErrDimensionMismatch,
      gbk::ErrIndexBelowOne,   gbk::ErrTypeMismatch,    gbk::ErrStackUnbalanced,
      gbk::ErrNoSubValue,      gbk::ErrOrderCompare,    gbk::ErrChooseIndex,
      gbk::ErrRedimSize,       gbk::ErrArgumentKind,
  };
  if (code < 1 || code > 11) return {};
  return kMessages[code - 1];
}

std::string RuntimeErrorText(std::string_view message, int code) {
  std::string text(gbk::RuntimeErrorHead);
  if (code != 0) {
    text += gbk::RuntimeErrorCodeLabel;
    text += std::to_string(code);
    text += "\r\n\r\n";
  }
  if (!message.empty()) {
    text += gbk::RuntimeErrorMessageLabel;
    text += message;
    text += "\r\n";
  }
  return text;
}

void RaiseRuntimeError(int code) { ShowAndExit(RuntimeErrorMessage(code), code); }

void FatalError(std::string_view message) { ShowAndExit(message, 0); }

void FatalAllocation(std::size_t size) {
  // "分配 %d 字节内存失败!" built without allocating on the heap.
  char digits[32];
  int n = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(size));
  std::string message;
  message.reserve(64);
  message += gbk::AllocFailPrefix;
  message.append(digits, static_cast<std::size_t>(n));
  message += gbk::AllocFailSuffix;
  ShowAndExit(message, 0);
}

ErrorPresenter SetErrorPresenter(ErrorPresenter presenter) {
  ErrorPresenter old = g_presenter;
  g_presenter = presenter ? presenter : &WriteToStderr;
  return old;
}

ExitHandler SetExitHandler(ExitHandler handler) {
  ExitHandler old = g_exit_handler;
  g_exit_handler = handler;
  return old;
}

void SetShutdownHook(ShutdownHook hook) { g_shutdown_hook = hook; }

void RunShutdownHookOnce() {
  ShutdownHook hook = g_shutdown_hook;
  g_shutdown_hook = nullptr;
  if (hook) hook();
}

void ExitProgram(int code) {
  if (g_exit_handler) g_exit_handler(code);
  RunShutdownHookOnce();
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace tl::rt
