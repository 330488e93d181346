// tidyline.exe: the desktop window on Windows (Win32 backend + the
// application). Linked for the GUI subsystem: no console comes with it.
#include "app/application.h"
#include "runtime/platform/win32/win32_backend.h"

int main() {
  tl::platform::win32::Win32Backend backend;
  return tl::app::RunApplication(backend);
}
