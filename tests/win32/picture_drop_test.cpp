// The picture button: its shape cut by the transparent colour, the pressed
// picture, the click; files dropped on a window; the hyperlink's hover.
#include "support/gbk.h"
#include "win32/win32_support.h"
// After <windows.h>.
#include <shlobj.h>

namespace tl::wintest {
namespace {

using test::Gbk;

class PictureTest : public Win32Test {};

// Palette: 0 red (cut), 1 blue, 2 green, 3 white.
constexpr std::uint32_t kPalette[4] = {0xFF0000, 0x0000FF, 0x00FF00, 0xFFFFFF};
constexpr std::uint32_t kRedColourRef = 0x0000FF;

const std::vector<std::string> kUp = {
    "00000000",
    "01111110",
    "01222210",
    "01222210",
    "01111110",
    "00000000",
};
// Pressed: a smaller shape.
const std::vector<std::string> kDown = {
    "00000000",
    "00000000",
    "00111100",
    "00111100",
    "00000000",
    "00000000",
};

bool Kept(Handle h, int x, int y) {
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  bool in = GetWindowRgn(W(h), rgn) != ERROR && PtInRegion(rgn, x, y);
  DeleteObject(rgn);
  return in;
}

TEST_F(PictureTest, TheShapeKeepsThePixelsThatDifferFromTheTransparentColour) {
  Handle win = Window({40, 40, 300, 200});
  Handle button = Make(WidgetKind::kPicButton, win, {20, 20, 8, 6});
  const std::string images[] = {MakeGif(8, 6, kUp, kPalette), MakeGif(8, 6, kDown, kPalette), "", ""};
  os.SetPictures(button, images, kRedColourRef);
  Show(win);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Kept(button, x, y), kUp[y][x] != '0') << x << "," << y;

  // While the left button is held the second picture, and its shape, show.
  PostMessageA(W(button), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kMouseDown, button) == 1; }));
  PumpUntil([&] { return !Kept(button, 1, 1); });
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Kept(button, x, y), kDown[y][x] != '0') << "pressed " << x << "," << y;
  EXPECT_EQ(rec.Count(EventType::kClick, button), 0) << "the click comes with the release";
  PostMessageA(W(button), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kClick, button) == 1; }));
  EXPECT_TRUE(Kept(button, 1, 1)) << "released: the first shape again";

  // A release outside the kept pixels is no click.
  PostMessageA(W(button), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  PostMessageA(W(button), WM_LBUTTONUP, 0, MAKELPARAM(7, 5));
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kMouseUp, button) == 2; }));
  EXPECT_EQ(rec.Count(EventType::kClick, button), 1);

  // The default colour cuts nothing.
  os.SetPictures(button, images, platform::kDefaultColour);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(W(button), rgn), ERROR) << "no region: the whole rectangle";
  DeleteObject(rgn);
}

TEST_F(PictureTest, ThePictureIsDrawnWithItsOwnColours) {
  Handle win = Window({40, 40, 300, 200});
  WidgetSpec s{.kind = WidgetKind::kPicBox, .parent = win, .rect = {10, 10, 100, 50}};
  s.back_colour = 0xFFFFFF;
  Handle box = Make(s);
  const std::string images[] = {MakeGif(8, 6, kUp, kPalette)};
  os.SetPictures(box, images, platform::kDefaultColour);
  Show(win);
  UpdateWindow(W(win));
  auto pixel = [&](int x, int y) {
    HDC dc = GetDC(W(box));
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(W(box), dc);
    return c;
  };
  ASSERT_TRUE(PumpUntil([&] { return pixel(3, 3) == RGB(0, 255, 0); })) << std::hex << pixel(3, 3);
  EXPECT_EQ(pixel(1, 1), RGB(0, 0, 255));
  EXPECT_EQ(pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(pixel(50, 30), RGB(255, 255, 255)) << "the background colour beyond the picture";
}

// A WM_DROPFILES as the shell sends it: DROPFILES and the NUL-separated
// names (ANSI), ending with an empty one.
HDROP MakeDrop(const std::vector<std::string>& names) {
  std::string list;
  for (const auto& n : names) list += n + '\0';
  list += '\0';
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size());
  auto* d = static_cast<DROPFILES*>(GlobalLock(g));
  d->pFiles = sizeof(DROPFILES);
  d->fWide = FALSE;
  std::memcpy(reinterpret_cast<char*>(d) + sizeof(DROPFILES), list.data(), list.size());
  GlobalUnlock(g);
  return static_cast<HDROP>(g);
}

TEST_F(PictureTest, FilesDroppedOnTheWindowArriveInOrderAsGbkPaths) {
  Handle win = Window({40, 40, 300, 200});
  Show(win);
  std::vector<std::string> names = {"C:\\data\\a.txt", Gbk("C:\\数据\\乙.txt"), "Z:\\tmp"};
  PostMessageA(W(win), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names)), 0);
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kFilesDropped, win) == 1; }));
  for (const auto& e : rec.events) {
    if (e.event.type == EventType::kFilesDropped) {
      EXPECT_EQ(e.event.paths, names);
    }
  }
}

TEST_F(PictureTest, TheHyperlinkReportsEnterAndLeaveAndAClickInside) {
  Handle win = Window({40, 40, 300, 200});
  Handle link = Make(WidgetKind::kHyperLink, win, {20, 20, 120, 20}, Gbk("软件主页"));
  Show(win);
  // The pointer itself goes there too: the system watches it for leaving.
  auto pointer_at = [&](int x, int y) {
    POINT p{x, y};
    ClientToScreen(W(link), &p);
    SetCursorPos(p.x, p.y);
    PostMessageA(W(link), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  };
  pointer_at(10, 10);
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kMouseEnter, link) == 1; }));
  EXPECT_EQ(GetCapture(), W(link)) << "captured while the pointer is over it";
  pointer_at(30, 12);
  PostClick(link, 30, 12);
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kClick, link) == 1; }));
  EXPECT_EQ(rec.Count(EventType::kMouseEnter, link), 1);
  pointer_at(200, 10);
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kMouseLeave, link) == 1; }));
  EXPECT_NE(GetCapture(), W(link));
  os.SetTextColour(link, 0x0000FF);
  EXPECT_EQ(os.GetText(link), Gbk("软件主页"));
}

}  // namespace
}  // namespace tl::wintest

namespace tl::wintest {
namespace {

class BarTest : public Win32Test {};

TEST_F(BarTest, TheLabelInsideTheBarShowsTheBarBelowAsItMoves) {
  Handle win = Window({40, 40, 300, 120});
  WidgetSpec bar_spec{.kind = WidgetKind::kProgressBar, .parent = win, .rect = {10, 10, 200, 24}};
  Handle bar = Make(bar_spec);
  os.SetProgressRange(bar, 0, 100);
  os.SetProgressPosition(bar, 50);
  EXPECT_EQ(os.GetProgressPosition(bar), 50);
  // No text: the label shows only what lies below it.
  Handle label = Make(WidgetKind::kTransLabel, bar, {20, 4, 160, 16});
  EXPECT_EQ(os.GetParent(label), bar);
  Show(win);
  auto pixel = [&](int x, int y) {
    HDC dc = GetDC(W(win));
    COLORREF c = GetPixel(dc, 10 + x, 10 + y);
    ReleaseDC(W(win), dc);
    return c;
  };
  // Bar coordinates: (8, 12) filled outside the label, (30, 12) filled
  // under it; (190, 12) empty outside, (150, 12) empty under it.
  auto settled = [&] {
    UpdateWindow(W(win));
    return pixel(30, 12) == pixel(8, 12) && pixel(150, 12) == pixel(190, 12);
  };
  ASSERT_TRUE(PumpUntil(settled)) << std::hex << pixel(30, 12) << " " << pixel(8, 12) << " " << pixel(150, 12) << " "
                                  << pixel(190, 12);
  ASSERT_NE(pixel(8, 12), pixel(190, 12)) << "half the bar is filled";
  os.SetProgressPosition(bar, 100);
  ASSERT_TRUE(PumpUntil([&] { return settled() && pixel(150, 12) == pixel(8, 12); }))
      << "the label kept the old bar below it: " << std::hex << pixel(150, 12) << " vs " << pixel(8, 12);
  // Its text goes over the bar.
  os.SetText(label, "label text");
  EXPECT_EQ(os.GetText(label), "label text");
}

}  // namespace
}  // namespace tl::wintest
