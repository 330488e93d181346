// winrect TITLE: where Windows has put the top-level window of that title:
//   window=LEFT TOP WIDTH HEIGHT   (GetWindowRect: the outer rectangle)
//   client=LEFT TOP WIDTH HEIGHT   (the client area, in screen coordinates)
// Exit status 1 when no such window exists. The end-to-end test checks the
// outer rectangle against the template's centring and computes its clicks
// from the client area (controls are not windows X knows about).
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: winrect TITLE\n");
    return 2;
  }
  HWND window = FindWindowA(nullptr, argv[1]);
  if (window == nullptr) return 1;
  RECT outer{};
  RECT client{};
  POINT origin{0, 0};
  if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
    return 1;
  }
  std::printf("window=%ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
  std::printf("client=%ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
  return 0;
}
