// The program speaks GBK (GB18030 where GBK has no code) with CR LF; GTK
// speaks UTF-8 with LF. Every text crossing the backend passes here.
#include <cstring>

#include "runtime/os/charset.h"
#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {
namespace {

using rt::CharsetConverter;

// Converts all of `in`; an invalid or cut-off sequence becomes `bad` and the
// conversion goes on one byte later, so no text is refused for one stray byte.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view bad,
                    bool* substituted = nullptr) {
  CharsetConverter conv(to, from);
  std::string out;
  if (substituted) *substituted = !conv.ok();
  if (!conv.ok()) return std::string(in);
  out.resize(in.size() + in.size() / 2 + 16);
  const char* src = in.data();
  std::size_t src_left = in.size();
  std::size_t used = 0;
  while (true) {
    char* dst = out.data() + used;
    std::size_t dst_left = out.size() - used;
    CharsetConverter::Status st = conv.Convert(src, src_left, dst, dst_left);
    used = out.size() - dst_left;
    if (st == CharsetConverter::Status::kDone) break;
    if (st == CharsetConverter::Status::kOutputFull) {
      out.resize(out.size() * 2);
      continue;
    }
    // Invalid or incomplete: substitute and step over one byte.
    if (substituted) *substituted = true;
    if (out.size() - used < bad.size()) out.resize(out.size() * 2 + bad.size());
    std::memcpy(out.data() + used, bad.data(), bad.size());
    used += bad.size();
    if (src_left == 0) break;
    ++src;
    --src_left;
    conv.Reset();
  }
  out.resize(used);
  return out;
}

void DropCrBeforeLf(std::string& s) {
  std::size_t w = 0;
  for (std::size_t r = 0; r < s.size(); ++r) {
    if (s[r] == '\r' && r + 1 < s.size() && s[r + 1] == '\n') continue;
    s[w++] = s[r];
  }
  s.resize(w);
}

std::string AddCrBeforeLf(const std::string& s) {
  std::size_t lone = 0;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) ++lone;
  if (lone == 0) return s;
  std::string out;
  out.reserve(s.size() + lone);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) out.push_back('\r');
    out.push_back(s[i]);
  }
  return out;
}

}  // namespace

std::string ToUtf8Keep(std::string_view gbk) { return Convert("UTF-8", "GB18030", gbk, "\uFFFD"); }

std::string FromUtf8Keep(std::string_view utf8) { return Convert("GB18030", "UTF-8", utf8, "?"); }

std::string ToUtf8(std::string_view gbk) {
  // CR and LF never occur inside a GBK or GB18030 character, so the line
  // breaks can be cut after the conversion.
  std::string out = ToUtf8Keep(gbk);
  DropCrBeforeLf(out);
  return out;
}

std::string FromUtf8(std::string_view utf8) { return AddCrBeforeLf(FromUtf8Keep(utf8)); }

std::string ToUtf8Exact(std::string_view gbk, bool& exact) {
  bool substituted = false;
  std::string out = Convert("UTF-8", "GB18030", gbk, "\uFFFD", &substituted);
  DropCrBeforeLf(out);
  // FromUtf8 puts back one CR before each LF; a NUL stops GTK from taking
  // the text at all.
  exact = !substituted && gbk.find('\0') == std::string_view::npos;
  for (std::size_t i = gbk.find('\n'); exact && i != std::string_view::npos; i = gbk.find('\n', i + 1))
    exact = i >= 1 && gbk[i - 1] == '\r' && (i < 2 || gbk[i - 2] != '\r');
  return out;
}

std::string CaptionMarkup(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 8);
  auto escape = [&](std::string_view piece) {
    gchar* e = g_markup_escape_text(piece.data(), static_cast<gssize>(piece.size()));
    out += e;
    g_free(e);
  };
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] != '&' || i + 1 >= utf8.size()) {
      std::size_t len = 1;
      while (i + len < utf8.size() && (static_cast<unsigned char>(utf8[i + len]) & 0xC0) == 0x80) ++len;
      escape(utf8.substr(i, len));
      i += len - 1;
      continue;
    }
    ++i;
    if (utf8[i] == '&') {
      out += "&amp;";
      continue;
    }
    std::size_t len = 1;
    while (i + len < utf8.size() && (static_cast<unsigned char>(utf8[i + len]) & 0xC0) == 0x80) ++len;
    out += "<u>";
    escape(utf8.substr(i, len));
    out += "</u>";
    i += len - 1;
  }
  return out;
}

}  // namespace tl::platform::gtk
