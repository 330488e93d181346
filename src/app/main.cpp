// tidyline: the desktop window (GTK 3 backend + the application).
#include <cstdio>
#include <string>

#include "app/application.h"
#include "runtime/platform/gtk/gtk_backend.h"

int main() {
  // The window takes no command-line options; scripts use tidyline-cli.
  std::string why;
  if (!tl::platform::gtk::GtkBackend::OpenDisplay(&why)) {
    std::fprintf(stderr,
                 "tidyline: cannot open the window: %s\n"
                 "For text and files without a display, use tidyline-cli (tidyline-cli --help).\n",
                 why.empty() ? "no display" : why.c_str());
    return 1;
  }
  tl::platform::gtk::GtkBackend backend;
  return tl::app::RunApplication(backend);
}
