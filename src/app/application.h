// The application's start-up, message loop and shutdown.
#pragma once
#include "runtime/platform/platform.h"

namespace tl::app {

// Runs Tidyline on `platform` (already constructed, not yet installed): installs it, starts the
// runtime, loads the settings and the main window, runs the message loop, shuts down.
// Returns the process exit code.
int RunApplication(tl::platform::Platform& platform);

// RunApplication in two halves, for tests that drive the window between
// them: StartApplication installs the backend, starts the runtime and runs
// ApplicationStart (settings opened, main window built); FinishApplication
// runs the message loop until the main window has closed, then the shutdown
// sequence (which closes the settings), and restores the previous backend.
// The exit code is 0, or 1 when the main window could not be built.
void StartApplication(tl::platform::Platform& platform);
int FinishApplication();

// The pieces, in the order the entry routine runs them.
void ApplicationStart();     // OpenSettings, then LoadWindow of the main window
void ApplicationShutdown();  // closes the settings, drops the run's values

}  // namespace tl::app
