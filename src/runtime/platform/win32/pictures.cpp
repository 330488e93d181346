// Pictures: image-file bytes (GIF here) decoded by the Windows Imaging
// Component into bitmaps; the shape a transparent colour cuts; icons and
// cursors.
#include <algorithm>
#include <cstring>

#include "runtime/platform/win32/win32_internal.h"
// After <windows.h>, which they need.
#include <wincodec.h>

namespace tl::platform::win32 {
namespace {

template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}
std::uint32_t U32(std::string_view b, std::size_t at) { return U16(b, at) | (static_cast<std::uint32_t>(U16(b, at + 2)) << 16); }

// The decoded pixels (0xAARRGGBB) of the first frame.
bool DecodePixels(std::string_view bytes, int& width, int& height, std::vector<std::uint32_t>& pixels) {
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  bool ok = false;
  UINT w = 0, h = 0;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                             static_cast<DWORD>(bytes.size()))) &&
      SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
      SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                      WICBitmapPaletteTypeCustom)) &&
      SUCCEEDED(converter->GetSize(&w, &h)) && w > 0 && h > 0 && w <= 16384 && h <= 16384) {
    pixels.assign(static_cast<std::size_t>(w) * h, 0);
    ok = SUCCEEDED(converter->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(pixels.data())));
  }
  Release(converter);
  Release(frame);
  Release(decoder);
  Release(stream);
  Release(factory);
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return ok;
}

// A top-down 32-bit bitmap; see-through pixels premultiplied for AlphaBlend.
HBITMAP MakeBitmap(int w, int h, const std::vector<std::uint32_t>& pixels, bool premultiply) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp || !bits) return bmp;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    std::uint32_t p = pixels[i];
    if (premultiply) {
      std::uint32_t a = p >> 24;
      auto mul = [a](std::uint32_t c) { return c * a / 255; };
      p = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
    }
    out[i] = p;
  }
  return bmp;
}

}  // namespace

std::optional<Picture> DecodePicture(std::string_view bytes) {
  Picture p;
  if (bytes.empty() || !DecodePixels(bytes, p.width, p.height, p.pixels)) return std::nullopt;
  bool see_through = std::any_of(p.pixels.begin(), p.pixels.end(), [](std::uint32_t px) { return (px >> 24) != 0xFF; });
  p.bitmap = MakeBitmap(p.width, p.height, p.pixels, see_through);
  if (!p.bitmap) return std::nullopt;
  p.alpha = see_through;
  return p;
}

void FreePicture(Picture& p) {
  if (p.bitmap) DeleteObject(p.bitmap);
  p.bitmap = nullptr;
}

HRGN RegionOf(const Picture& p, std::uint32_t transparent) {
  // COLORREF is 0x00BBGGRR; the pixels are 0xAARRGGBB.
  std::uint32_t key = ((transparent & 0xFF) << 16) | (transparent & 0xFF00) | ((transparent >> 16) & 0xFF);
  std::vector<RECT> rects;
  for (int y = 0; y < p.height; ++y) {
    const std::uint32_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.width;
    int run = -1;
    for (int x = 0; x <= p.width; ++x) {
      bool keep = x < p.width && (row[x] >> 24) != 0 && (row[x] & 0xFFFFFF) != key;
      if (keep && run < 0) run = x;
      if (!keep && run >= 0) {
        rects.push_back({run, y, x, y + 1});
        run = -1;
      }
    }
  }
  std::vector<char> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  auto* rd = reinterpret_cast<RGNDATA*>(data.data());
  rd->rdh.dwSize = sizeof(RGNDATAHEADER);
  rd->rdh.iType = RDH_RECTANGLES;
  rd->rdh.nCount = static_cast<DWORD>(rects.size());
  rd->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
  rd->rdh.rcBound = {0, 0, p.width, p.height};
  if (!rects.empty()) std::memcpy(rd->Buffer, rects.data(), rects.size() * sizeof(RECT));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), rd);
}

void DrawPicture(HDC dc, const Picture& p, int x, int y) {
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, p.bitmap);
  if (p.alpha) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, p.width, p.height, mem, 0, 0, p.width, p.height, blend);
  } else {
    BitBlt(dc, x, y, p.width, p.height, mem, 0, 0, SRCCOPY);
  }
  SelectObject(mem, old);
  DeleteDC(mem);
}

void ApplyShape(Node& n) {
  if (n.kind != WidgetKind::kPicButton) return;
  std::size_t slot = n.pressed && n.pictures.size() > 1 && n.pictures[1].bitmap ? 1 : 0;
  if (n.transparent == kDefaultColour || slot >= n.pictures.size() || !n.pictures[slot].bitmap) {
    SetWindowRgn(n.hwnd, nullptr, TRUE);
    return;
  }
  // The window owns the region it is given.
  SetWindowRgn(n.hwnd, RegionOf(n.pictures[slot], n.transparent), TRUE);
}

HICON IconFromBytes(std::string_view b, bool cursor) {
  // An icon or cursor file: the first image of its directory.
  if (b.size() >= 22 && U16(b, 0) == 0 && (U16(b, 2) == 1 || U16(b, 2) == 2) && U16(b, 4) >= 1) {
    bool is_cursor = U16(b, 2) == 2;
    std::uint32_t size = U32(b, 6 + 8), offset = U32(b, 6 + 12);
    if (offset >= b.size() || size > b.size() - offset) return nullptr;
    std::string res;
    if (is_cursor) {
      // A cursor resource starts with its hot spot.
      res.append(b.substr(6 + 4, 4));
    }
    res.append(b.substr(offset, size));
    return CreateIconFromResourceEx(reinterpret_cast<BYTE*>(res.data()), static_cast<DWORD>(res.size()), !is_cursor,
                                    0x00030000, 0, 0, LR_DEFAULTCOLOR);
  }
  auto p = DecodePicture(b);
  if (!p) return nullptr;
  HBITMAP mask = CreateBitmap(p->width, p->height, 1, 1, nullptr);
  ICONINFO ii{};
  ii.fIcon = !cursor;
  ii.hbmMask = mask;
  ii.hbmColor = p->bitmap;
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(mask);
  FreePicture(*p);
  return icon;
}

void Win32Backend::SetPictures(Handle w, std::span<const std::string> images, std::uint32_t transparent) {
  Node* n = impl_->Get(w);
  if (!n) return;
  for (Picture& p : n->pictures) FreePicture(p);
  n->pictures.clear();
  for (const std::string& bytes : images) n->pictures.push_back(DecodePicture(bytes).value_or(Picture{}));
  n->transparent = transparent;
  if ((n->kind == WidgetKind::kButton || n->kind == WidgetKind::kCheckBox || n->kind == WidgetKind::kRadioBox) &&
      !n->pictures.empty() && n->pictures[0].bitmap)
    SendMessageA(n->hwnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(n->pictures[0].bitmap));
  ApplyShape(*n);
  InvalidateRect(n->hwnd, nullptr, TRUE);
}

}  // namespace tl::platform::win32
