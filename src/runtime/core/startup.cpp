#include "runtime/commands/system_commands.h"
#include "runtime/core/declared_commands.h"
#include "runtime/core/startup.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "gbk_texts.h"
#include "runtime/core/errors.h"
#include "runtime/core/gbk_view.h"
#include "runtime/core/heap.h"
#include "runtime/core/message_pump.h"
#include "runtime/os/process.h"
#include "runtime/platform/platform.h"

namespace tl::rt {
namespace {

struct AppState {
  std::string program_directory;
  std::string program_file;
  std::thread::id main_thread;
  // Read by any thread that ends the program.
  std::atomic<bool> initialised{false};
  std::atomic<bool> shutting_down{false};
  bool runtime_window = false;
};

AppState& App() {
  static AppState s;
  return s;
}

std::string& ProgramPathForStartup() {
  static std::string path;
  return path;
}

// The runtime error dialog: no owner, caption "错误", the error icon.
void PresentError(std::string_view text) {
  constexpr std::uint32_t kIconError = 0x10;
  if (platform::Platform* p = platform::Current()) {
    p->MessageBox(text, gbk::RuntimeErrorCaption, kIconError);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void PumpPending() {
  if (platform::Platform* p = platform::Current()) p->PumpPending();
}

}  // namespace

void InitRuntime(const RuntimeImage& image) {
  AppState& app = App();
  app.shutting_down = false;
  SetErrorPresenter(&PresentError);
  SetExitHandler(&ShutdownRuntime);
  SetPumpHandler(&PumpPending);
  platform::Platform* backend = platform::Current();
  if (!backend) FatalError(gbk::ErrNoWindowSystem);  // no backend: nothing can be shown

  // 1-2. The heap is the C++ allocator; automation objects are created on
  // demand by the backend's hook, so there is nothing to initialise here.

  // 3. The program directory becomes the current directory.
  std::string path = ProgramPathForStartup().empty() ? os::ProgramPath() : ProgramPathForStartup();
  // "\" can be the second byte of a GBK character: only a whole one cuts.
  std::size_t cut = gbk::FindLastSeparator(path);
  if (cut == std::string::npos) {
    app.program_directory.clear();
    app.program_file = path;
  } else {
    app.program_directory = path.substr(0, cut);
    app.program_file = path.substr(cut + 1);
    // "/prog" and "C:\prog" live in a root, which has no name without its
    // separator ("C:" alone is the drive's current folder, not its root).
    std::string folder = app.program_directory;
    const bool drive_only = kPathSeparator == '\\' && folder.size() == 2 && folder[1] == ':';
    if (folder.empty() || drive_only) folder += kPathSeparator;
    (void)os::SetCurrentDirectory(folder);
  }

  // The program-directory command answers from here on.
  SetProgramDirectory(app.program_directory);

  // 4-5. Hidden runtime window; main thread.
  backend->StartRuntimeWindow();
  app.runtime_window = true;
  app.main_thread = std::this_thread::get_id();

  // 6. The program's constant texts.
  RegisterProgramConstants();

  // 7. The declared DLL commands resolve anew on their first calls.
  ResetDeclaredDllCommands();

  // 9-10. Templates and their handlers.
  SetStartupFinished(false);
  AttachEventSink();
  app.initialised = true;
  if (!LoadTemplates(image.template_segment, image.resolve_handler)) FatalError(gbk::ErrTemplateSegment);
}

void SetProgramPathForStartup(std::string path) { ProgramPathForStartup() = std::move(path); }

int RunMessageLoop() {
  SetStartupFinished(true);
  platform::Platform* os = platform::Current();
  if (!os || LoadedWindowCount() == 0) return 0;
  return os->RunLoop();
}

bool ShuttingDown() { return App().shutting_down; }

void ShutdownRuntime(int code) {
  AppState& app = App();
  // 1. Another thread only hands the code to the UI thread, then ends the
  // process, or, when the UI thread is already shutting down, waits for it
  // to end the process: going on here would run the hook or the exit path
  // on two threads at once.
  if (app.initialised.load() && std::this_thread::get_id() != app.main_thread) {
    if (platform::Platform* p = platform::Current()) p->ForwardExit(code);
    if (!app.shutting_down.load()) std::_Exit(code);
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }
  // 2. Under way (a second call finds nothing left to do but the hook,
  // which has been forgotten).
  app.shutting_down = true;
  // 3. The window registry goes, without events.
  ClearTemplates();
  // 4. The application's global cleanup, once.
  RunShutdownHookOnce();
  // 6. The libraries the declared DLL commands loaded.
  UnloadDeclaredDllCommands();
  // 5-8. Libraries, the hidden window, automation. The constant region
  // stays registered: static owners may still release constant texts while
  // the process ends, and that must stay a no-op.
  if (app.runtime_window) {
    if (platform::Platform* p = platform::Current()) {
      p->StopRuntimeWindow();
      p->SetEventSink(nullptr);
    }
    app.runtime_window = false;
  }
  SetStartupFinished(false);
  app.initialised = false;
}

const std::string& ProgramDirectoryPath() { return App().program_directory; }
const std::string& ProgramFileName() { return App().program_file; }

}  // namespace tl::rt
