#include "win32/win32_support.h"

#include <algorithm>

namespace tl::wintest {

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (static_cast<int>(GetTickCount() - start) > timeout_ms) return false;
    Backend().PumpPending();
    if (done()) return true;
    // Sleeps until a message arrives (or a short while passes).
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

void Win32Test::SetUp() {
  os.StartRuntimeWindow();
  os.SetEventSink(&rec);
}

void Win32Test::TearDown() {
  for (Handle w : windows) os.DestroyWidget(w);
  windows.clear();
  os.SetEventSink(nullptr);
  // Nothing of this test is left in the queue for the next one.
  PumpUntil([] {
    MSG m;
    return !PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE) || m.message == WM_QUIT;
  }, 1000);
  MSG m;
  while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

Handle Win32Test::Window(Rect r, const std::string& title) {
  WidgetSpec s;
  s.kind = WidgetKind::kTopWindow;
  s.rect = r;
  s.text = title;
  s.class_name = "TidylineWindow";
  s.min_button = true;
  Handle h = os.CreateWidget(s);
  EXPECT_NE(h, platform::kNoHandle);
  windows.push_back(h);
  return h;
}

Handle Win32Test::Make(WidgetKind kind, Handle parent, Rect r, const std::string& text) {
  WidgetSpec s;
  s.kind = kind;
  s.parent = parent;
  s.rect = r;
  s.text = text;
  return Make(s);
}

Handle Win32Test::Make(WidgetSpec spec) {
  Handle h = os.CreateWidget(spec);
  EXPECT_NE(h, platform::kNoHandle);
  if (h) os.SetVisible(h, true);
  return h;
}

void Win32Test::Show(Handle window) {
  os.SetVisible(window, true);
  os.ActivateWindow(window);
  PumpUntil([&] { return IsWindowVisible(W(window)) != FALSE; });
}

Rect InClient(Handle widget) {
  HWND h = W(widget);
  HWND top = GetAncestor(h, GA_ROOT);
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void PostClick(Handle widget, int x, int y) {
  LPARAM at = MAKELPARAM(x, y);
  PostMessageA(W(widget), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(W(widget), WM_LBUTTONUP, 0, at);
}

std::string WindowText(HWND hwnd) {
  int len = GetWindowTextLengthA(hwnd);
  std::string s(static_cast<std::size_t>(len) + 1, '\0');
  s.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, s.data(), len + 1)));
  return s;
}

std::string MakeGif(int w, int h, const std::vector<std::string>& rows, const std::uint32_t (&palette)[4]) {
  std::string g = "GIF89a";
  auto u16 = [&](int v) {
    g += static_cast<char>(v & 0xFF);
    g += static_cast<char>((v >> 8) & 0xFF);
  };
  u16(w);
  u16(h);
  g += static_cast<char>(0x81);  // global colour table of 4 entries
  g += '\0';
  g += '\0';
  for (std::uint32_t c : palette) {
    g += static_cast<char>((c >> 16) & 0xFF);
    g += static_cast<char>((c >> 8) & 0xFF);
    g += static_cast<char>(c & 0xFF);
  }
  g += ',';
  u16(0);
  u16(0);
  u16(w);
  u16(h);
  g += '\0';
  g += '\2';  // minimum code size 2: codes of 3 bits, clear 4, end 5
  // A clear code before every two pixels keeps the code size at 3 bits.
  std::string bytes;
  unsigned acc = 0;
  int bits = 0;
  auto put = [&](unsigned code) {
    acc |= code << bits;
    bits += 3;
    while (bits >= 8) {
      bytes += static_cast<char>(acc & 0xFF);
      acc >>= 8;
      bits -= 8;
    }
  };
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (n++ % 2 == 0) put(4);
      put(static_cast<unsigned>(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] - '0'));
    }
  put(5);
  if (bits > 0) bytes += static_cast<char>(acc & 0xFF);
  for (std::size_t at = 0; at < bytes.size(); at += 255) {
    std::size_t len = std::min<std::size_t>(255, bytes.size() - at);
    g += static_cast<char>(len);
    g += bytes.substr(at, len);
  }
  g += '\0';
  g += ';';
  return g;
}

}  // namespace tl::wintest
