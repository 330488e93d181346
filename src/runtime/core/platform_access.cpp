#include "runtime/platform/platform.h"

namespace tl::platform {
namespace {
Platform* g_backend = nullptr;
}

Platform* Current() { return g_backend; }

Platform* Install(Platform* backend) {
  Platform* old = g_backend;
  g_backend = backend;
  return old;
}

}  // namespace tl::platform
