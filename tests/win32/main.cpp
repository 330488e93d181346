// The Win32 backend's tests: one backend for the whole run, on the display
// the suite gives (wine's X11 driver) in the ANSI code page 936. A failure
// saves a picture of the screen and names the windows a person would see.
#include <cstdio>

#include "win32/win32_support.h"

namespace tl::wintest {
namespace {

platform::win32::Win32Backend* g_backend = nullptr;

BOOL CALLBACK NameWindow(HWND hwnd, LPARAM) {
  if (!IsWindowVisible(hwnd)) return TRUE;
  RECT r;
  GetWindowRect(hwnd, &r);
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  std::fprintf(stderr, "on screen: %s \"%s\" at %ld,%ld size %ldx%ld\n", cls, WindowText(hwnd).c_str(), r.left,
               r.top, r.right - r.left, r.bottom - r.top);
  return TRUE;
}

// The screen as a 24-bit BMP file.
void SaveScreen(const std::string& name) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + stride * h), 0, 0,
                      static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader)};
  if (FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    std::fwrite(bits, 1, stride * h, f);
    std::fclose(f);
    std::fprintf(stderr, "screenshot of the failure: %s\n", name.c_str());
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

class ScreenshotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (!info.result()->Failed()) return;
    std::string name = std::string("win32-failure-") + info.test_suite_name() + "." + info.name() + ".bmp";
    for (char& c : name)
      if (c == '/') c = '_';
    SaveScreen(name);
    EnumWindows(NameWindow, 0);
  }
};

}  // namespace

platform::win32::Win32Backend& Backend() { return *g_backend; }

}  // namespace tl::wintest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tl::platform::win32::Win32Backend backend;
  tl::wintest::g_backend = &backend;
  ::testing::UnitTest::GetInstance()->listeners().Append(new tl::wintest::ScreenshotOnFailure);
  int rc = RUN_ALL_TESTS();
  tl::wintest::g_backend = nullptr;
  return rc;
}
