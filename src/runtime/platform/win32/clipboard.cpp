// The clipboard: CF_TEXT in the ANSI code page; a text with characters GBK
// lacks is read from CF_UNICODETEXT and kept in its GB18030 form, and such
// a text goes out as CF_UNICODETEXT too.
#include <cstring>

#include "runtime/os/charset.h"
#include "runtime/os/codepage.h"
#include "runtime/platform/win32/win32_internal.h"

namespace tl::platform::win32 {
namespace {

std::string Convert(const char* to, const char* from, std::string_view in) {
  rt::CharsetConverter conv(to, from);
  if (!conv.ok()) return {};
  std::string out(in.size() * 2 + 16, '\0');
  const char* src = in.data();
  std::size_t left = in.size();
  char* dst = out.data();
  std::size_t room = out.size();
  while (true) {
    auto st = conv.Convert(src, left, dst, room);
    if (st == rt::CharsetConverter::Status::kOutputFull) {
      std::size_t used = out.size() - room;
      out.resize(out.size() * 2);
      dst = out.data() + used;
      room = out.size() - used;
      continue;
    }
    if (st != rt::CharsetConverter::Status::kDone) return {};
    break;
  }
  out.resize(out.size() - room);
  return out;
}

// The clipboard may be held by another program for a moment.
bool Open(HWND owner) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

std::string FromWide(std::u16string_view wide) {
  bool lost = false;
  auto gbk = rt::codepage::FromUtf16(936, wide, std::nullopt, &lost);
  if (gbk && !lost) return *gbk;
  auto utf8 = rt::codepage::FromUtf16(65001, wide);
  std::string out = utf8 ? Convert("GB18030", "UTF-8", *utf8) : std::string();
  return out.empty() && gbk ? *gbk : out;
}

std::u16string ToWide(std::string_view gbk) {
  std::string utf8 = Convert("UTF-8", "GB18030", gbk);
  if (utf8.empty()) return {};  // not text: the system's own conversion stands
  return rt::codepage::ToUtf16(65001, utf8).value_or(std::u16string());
}

std::optional<std::string> Win32Backend::GetClipboardText() {
  if (!impl_->started) StartRuntimeWindow();
  if (!Open(impl_->hidden)) return std::nullopt;
  std::optional<std::string> ansi;
  std::optional<std::u16string> wide;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (auto* p = static_cast<const char*>(GlobalLock(h))) {
      std::size_t cap = GlobalSize(h), len = 0;
      while (len < cap && p[len]) ++len;
      ansi = std::string(p, len);
      GlobalUnlock(h);
    }
  }
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
      std::size_t cap = GlobalSize(h) / 2, len = 0;
      while (len < cap && p[len]) ++len;
      wide = std::u16string(p, len);
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  // The ANSI text unless the Unicode one holds characters GBK lacks (a
  // replacement character says the ANSI bytes were not text to begin with).
  if (wide && wide->find(u'\uFFFD') == std::u16string::npos) {
    bool lost = false;
    rt::codepage::FromUtf16(936, *wide, std::nullopt, &lost);
    if (lost || !ansi) return FromWide(*wide);
  }
  if (ansi) return ansi;
  if (wide) return FromWide(*wide);
  return std::nullopt;
}

bool Win32Backend::SetClipboardText(std::string_view text) {
  if (!impl_->started) StartRuntimeWindow();
  auto put = [](UINT format, const void* bytes, std::size_t size, std::size_t nul) {
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + nul);
    if (!g) return false;
    void* p = GlobalLock(g);
    if (!p) {
      GlobalFree(g);
      return false;
    }
    if (size) std::memcpy(p, bytes, size);
    GlobalUnlock(g);
    if (!SetClipboardData(format, g)) {
      GlobalFree(g);
      return false;
    }
    return true;
  };
  // The clipboard keeps the text up to its first NUL, as CF_TEXT does.
  std::string_view t = text.substr(0, text.find('\0'));
  if (!Open(impl_->hidden)) return false;
  EmptyClipboard();
  bool ok = put(CF_TEXT, t.data(), t.size(), 1);
  // The system's own CF_UNICODETEXT would read four-byte GB18030 forms as
  // GBK; ours carries every character.
  std::u16string wide = ToWide(t);
  if (ok && !wide.empty()) put(CF_UNICODETEXT, wide.data(), wide.size() * 2, 2);
  CloseClipboard();
  return ok;
}

}  // namespace tl::platform::win32
