#include "settings/settings_store.h"

#include <cstdint>
#include <cstdio>

#include "gbk_texts.h"
#include "runtime/window/window_commands.h"
#include "runtime/os/files.h"
#include "runtime/commands/files.h"
#include "runtime/commands/convert_commands.h"
#include "runtime/core/gbk_view.h"
#include "runtime/core/message_pump.h"
#include "runtime/commands/registry.h"
#include "runtime/commands/text_commands.h"
#include "runtime/window/window_runtime.h"

namespace tl::settings {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// Registry values of the store live under the classes root.
constexpr int kRegistryRoot = 1;
// Passes after which a write that cannot settle gives up.
constexpr int kMaxSectionAppends = 10;
constexpr int kMaxKeyInserts = 10;

// The message-box command: the platform's message box once a window system
// is installed, standard error before.
int ShowThroughRuntime(std::string_view text, int flags, std::string_view caption) {
  return rt::ShowMessage(text, flags, caption);
}

MessageHook g_message = ShowThroughRuntime;

// Paths are split at the platform's separator ("\\" on Windows, "/" on
// Linux, so there the registry prefix and the binary side store split paths
// at "/"); "/" is taken on Windows too, as the system does. A path is walked
// character by character like every other scan of GBK text: the second byte
// of a two-byte character is never a separator (on Windows 乗 is 81 5C).
bool IsSeparator(char c) { return c == rt::fileio::kSeparator || c == '/'; }

std::size_t LastSeparator(std::string_view path) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0, step = 0; i < path.size(); i += step) {
    step = gbk::CharStep(path, i);
    if (step == 0) break;
    if (step == 1 && IsSeparator(path[i])) found = i;
  }
  return found;
}

bool HasSeparator(std::string_view text) {
  for (std::size_t i = 0, step = 0; i < text.size(); i += step) {
    step = gbk::CharStep(text, i);
    // A lead byte without its trail ends the text as the walk sees it; what
    // follows still reaches the file system, so it is looked at byte by byte.
    if (step == 0) {
      for (char c : text.substr(i + 1))
        if (IsSeparator(c)) return true;
      return false;
    }
    if (step == 1 && IsSeparator(text[i])) return true;
  }
  return false;
}

// The part after the last separator, cut before its last ".".
std::string_view BaseName(std::string_view path) {
  std::size_t cut = LastSeparator(path);
  if (cut != std::string_view::npos) path.remove_prefix(cut + 1);
  std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? path : path.substr(0, dot);
}

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The engine's test for Unix-style text: LF line breaks and no CR LF at all.
bool IsUnixStyle(std::string_view text) {
  return text.find('\n') != std::string_view::npos && text.find(kCrLf) == std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Every occurrence replaced, byte-exact, character by character.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  return std::string(rt::ReplaceSubtext(text, from, to, std::nullopt, std::nullopt, true).view());
}

std::string NumberText(double v) { return std::string(rt::DoubleToText(v).view()); }
std::string FlagText(bool v) { return std::string(rt::ToText(rt::arg::Boolean(v)).view()); }
std::string TimeText(double v) { return std::string(rt::DateTimeToText(v).view()); }

}  // namespace

MessageHook SetSettingsMessageHook(MessageHook hook) {
  MessageHook old = g_message;
  g_message = hook ? hook : ShowThroughRuntime;
  return old;
}

SettingsStore::~SettingsStore() { Close(); }

bool SettingsStore::Open(std::string_view path, int mode) {
  if (mode < 0 || mode > 2) {
    // Nothing stays open: later setters must not write into the file (or
    // the registry) of an earlier Open.
    Close();
    mode_ = 0;
    return false;
  }
  Close();
  path_ = std::string(path);
  mode_ = mode;
  if (mode == 2) return true;
  loadedPath_ = path_;
  buffer_.LoadFile(path);  // a missing or unreadable file leaves the buffer empty
  // A file edited with a Linux editor keeps its LF line breaks; one saved
  // with a byte-order mark keeps the mark, and its first header is found
  // behind it. Files the store writes itself have neither.
  std::string_view loaded = buffer_.view();
  lineBreak_ = IsUnixStyle(loaded) ? "\n" : std::string(kCrLf);
  contentStart_ = loaded.starts_with(kUtf8Mark) ? static_cast<std::int32_t>(kUtf8Mark.size()) : 0;
  if (mode == 0) {
    file_ = rt::OpenFile(path, 6, 3);
    // Every change is mirrored at buffer offsets; a file that holds other
    // bytes than the buffer (it could not be loaded, or changed in between)
    // would be corrupted by that, so it is not kept open for writing.
    if (file_ && rt::FileLength(file_) != buffer_.Length()) {
      rt::CloseFile(file_);
      file_ = 0;
    }
  } else {
    file_ = rt::OpenMemoryFile();
    rt::WriteBytesToFile(file_, buffer_.view());
    rt::SeekFileStart(file_);
  }
  return file_ != 0;
}

rt::Text SettingsStore::SelectSection(std::string_view section) {
  section_ = std::string(section);
  registryPrefix_ = std::string(gbk::SettingsRegistryRoot);
  registryPrefix_ += BaseName(path_);
  registryPrefix_ += '\\';
  registryPrefix_ += section_;
  registryPrefix_ += '\\';
  return rt::Text(registryPrefix_);
}

void SettingsStore::Close() {
  if (file_) rt::CloseFile(file_);
  file_ = 0;
  buffer_ = rt::Buffer();
  lineBreak_ = std::string(kCrLf);
  contentStart_ = 0;
}

// ---------------------------------------------------------------------------
// Typed values.

bool SettingsStore::Write(std::string_view key, const std::string& text) {
  if (mode_ == 2) {
    std::string item = registryPrefix_ + std::string(key);
    return rt::WriteRegistryItem(kRegistryRoot, item, rt::arg::Text(text.c_str()));
  }
  return WriteEntry(section_, key, text) == kWriteDone;
}

std::string SettingsStore::Read(std::string_view key, const std::string& defaultText) {
  if (mode_ == 2) {
    std::string item = registryPrefix_ + std::string(key);
    return std::string(rt::ReadRegistryText(kRegistryRoot, item, defaultText).view());
  }
  return std::string(ReadEntry(section_, key, defaultText).view());
}

bool SettingsStore::SetTextValue(std::string_view key, std::string_view value) {
  std::string stored = ReplaceAll(value, kCrLf, gbk::SettingsLineBreakMark);
  // In a file with LF line breaks a lone LF would end the value there and
  // turn its rest into a line of its own; it is kept as a line break mark.
  if (mode_ != 2 && lineBreak_ != kCrLf) stored = ReplaceAll(stored, "\n", gbk::SettingsLineBreakMark);
  return Write(key, stored);
}

rt::Text SettingsStore::GetTextValue(std::string_view key, std::string_view defaultValue) {
  std::string stored = Read(key, ReplaceAll(defaultValue, kCrLf, gbk::SettingsLineBreakMark));
  return rt::Text(ReplaceAll(stored, gbk::SettingsLineBreakMark, kCrLf));
}

bool SettingsStore::SetNumberValue(std::string_view key, double value) { return Write(key, NumberText(value)); }

double SettingsStore::GetNumberValue(std::string_view key, double defaultValue) {
  return rt::TextToNumber(Read(key, NumberText(defaultValue)));
}

bool SettingsStore::SetFlagValue(std::string_view key, bool value) { return Write(key, FlagText(value)); }

bool SettingsStore::GetFlagValue(std::string_view key, bool defaultValue) {
  return Read(key, FlagText(defaultValue)) == gbk::True;
}

bool SettingsStore::SetTimeValue(std::string_view key, double value) { return Write(key, TimeText(value)); }

double SettingsStore::GetTimeValue(std::string_view key, double defaultValue) {
  return rt::TextToTime(Read(key, TimeText(defaultValue)));
}

// ---------------------------------------------------------------------------
// Window geometry.

namespace {

constexpr int kPropertyState = 18;
// Minimized (2) and maximized (3) windows keep their normal geometry to
// themselves.
constexpr double kLastNormalState = 1;

std::string GeometrySection(std::string_view name) {
  std::string section(name.empty() ? gbk::SettingsMainWindowName : name);
  section += gbk::SettingsGeometrySuffix;
  return section;
}

// A stored number as a property value: truncated, NaN as 0, clamped to the
// 32-bit range so a hand-edited file cannot overflow the conversion.
std::int32_t ToInt32(double v) {
  if (!(v == v)) return 0;
  if (v <= -2147483648.0) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<std::int32_t>(v);
}

}  // namespace

void SettingsStore::SaveWindowGeometry(std::uint32_t window, std::string_view name) {
  SelectSection(GeometrySection(name));
  double state = rt::PropertyAsInt(rt::GetControlProperty(window, 0, kPropertyState));
  SetNumberValue(gbk::SettingsGeometryState, state);
  if (state > kLastNormalState) return;
  const std::string_view keys[4] = {gbk::SettingsGeometryLeft, gbk::SettingsGeometryTop, gbk::SettingsGeometryWidth,
                                    gbk::SettingsGeometryHeight};
  for (int i = 0; i < 4; ++i) SetNumberValue(keys[i], rt::PropertyAsInt(rt::GetControlProperty(window, 0, i)));
}

void SettingsStore::RestoreWindowGeometry(std::uint32_t window, std::string_view name) {
  SelectSection(GeometrySection(name));
  double current = rt::PropertyAsInt(rt::GetControlProperty(window, 0, kPropertyState));
  double state = GetNumberValue(gbk::SettingsGeometryState, current);
  rt::SetControlProperty(window, 0, kPropertyState, ToInt32(state));
  if (state > kLastNormalState) return;
  const std::string_view keys[4] = {gbk::SettingsGeometryLeft, gbk::SettingsGeometryTop, gbk::SettingsGeometryWidth,
                                    gbk::SettingsGeometryHeight};
  std::int32_t v[4];
  for (int i = 0; i < 4; ++i)
    v[i] = ToInt32(GetNumberValue(keys[i], rt::PropertyAsInt(rt::GetControlProperty(window, 0, i))));
  rt::MoveControl({window, 0}, v[0], v[1], v[2], v[3]);
}

// ---------------------------------------------------------------------------
// Binary side store.

std::string SettingsStore::BinaryPath(std::string_view key) const {
  // Section and key become one file name: a separator in either would
  // reach outside the folder.
  for (std::string_view part : {std::string_view(section_), key})
    if (HasSeparator(part)) return {};
  std::size_t cut = LastSeparator(path_);
  std::string path;
  // A bare file name lives in the current directory, and so does its folder.
  if (cut != std::string::npos) path = path_.substr(0, cut) + rt::fileio::kSeparator;
  path += gbk::SettingsBinaryFolder;
  path += rt::fileio::kSeparator;
  path += section_;
  path += '-';
  path += key;
  path += ".ibn";
  return path;
}

bool SettingsStore::SetBinaryValue(std::string_view key, std::string_view bytes) {
  std::string path = BinaryPath(key);
  if (path.empty()) return false;
  rt::MakeDirectory(path.substr(0, LastSeparator(path)));  // an existing folder is fine
  return rt::WriteFileBytes(path, bytes);
}

rt::ByteSet SettingsStore::GetBinaryValue(std::string_view key, std::string_view defaultBytes) {
  std::string path = BinaryPath(key);
  rt::ByteSet stored = path.empty() ? rt::ByteSet() : rt::ReadFileBytes(path);
  return stored.empty() ? rt::ByteSet(defaultBytes) : stored;
}

// ---------------------------------------------------------------------------
// Searching the buffer. Positions are 1-based; Find takes and returns them.

// One header rule for every search: "[" name "]" that starts the content
// (after a byte-order mark, if any) or a line, followed on its line by
// nothing but spaces or tabs. A line such as «[K]=v» (a key that starts with
// a bracket) is no header.
bool SettingsStore::HeaderEndsLine(std::int32_t afterClose) const {
  std::string_view v = buffer_.view();
  std::size_t i = static_cast<std::size_t>(afterClose) - 1;
  while (i < v.size() && IsBlank(v[i])) ++i;
  return i == v.size() || v.substr(i).starts_with(lineBreak_);
}

std::optional<std::int32_t> SettingsStore::FindSection(std::string_view name, std::int32_t from,
                                                       bool yieldEachPass) const {
  std::string header = "[" + std::string(name) + "]";
  const auto lb = static_cast<std::int32_t>(lineBreak_.size());
  std::int32_t s = from;
  for (;;) {
    if (yieldEachPass) rt::DoEvents();
    std::int32_t p = buffer_.Find(header, s);
    if (p == -1) return std::nullopt;
    std::string_view v = buffer_.view();
    bool lineStart = p == contentStart_ + 1 ||
                     (p > lb && v.substr(static_cast<std::size_t>(p - 1 - lb), static_cast<std::size_t>(lb)) == lineBreak_);
    std::int32_t close = p + static_cast<std::int32_t>(header.size()) - 1;
    if (lineStart && HeaderEndsLine(close + 1)) return close;
    s = p + 1;
  }
}

std::optional<std::int32_t> SettingsStore::FindKey(std::string_view key, std::int32_t sectionEnd) const {
  std::string entry = lineBreak_ + std::string(key) + "=";
  std::int32_t m = buffer_.Find(entry, sectionEnd);
  if (m == -1) return std::nullopt;
  std::int32_t d = m + static_cast<std::int32_t>(lineBreak_.size());
  if (HeaderBetween(sectionEnd + 1, d - 1) != -1) return std::nullopt;  // it belongs to a later section
  return d;
}

std::int32_t SettingsStore::HeaderBetween(std::int32_t a, std::int32_t b) const {
  const std::string opener = lineBreak_ + "[";
  std::string_view v = buffer_.view();
  for (;;) {
    std::int32_t f = buffer_.Find(opener, a);
    if (f == -1 || f >= b) return -1;
    a = f + static_cast<std::int32_t>(lineBreak_.size());  // the "["
    // Only lines that end before b count (the line at b is the key's own,
    // and a key may start with "["); whatever stands between the brackets is
    // the name of a header.
    std::int32_t lineEnd = buffer_.Find(lineBreak_, a);
    if (lineEnd == -1 || lineEnd > b) return -1;
    std::size_t last = static_cast<std::size_t>(lineEnd) - 1;  // one past the line
    while (last > static_cast<std::size_t>(a) && IsBlank(v[last - 1])) --last;
    if (last > static_cast<std::size_t>(a) && v[last - 1] == ']') return a;
  }
}

std::int32_t SettingsStore::ValueEnd(std::int32_t g) const {
  std::int32_t n = buffer_.Find(lineBreak_, g);
  return n == -1 ? buffer_.Length() : n - 1;
}

rt::Text SettingsStore::ReadEntry(std::string_view section, std::string_view key, std::string_view defaultValue) {
  auto e = FindSection(section, 0, true);
  if (!e) return rt::Text(defaultValue);
  auto d = FindKey(key, *e);
  if (!d) return rt::Text(defaultValue);
  std::int32_t g = *d + static_cast<std::int32_t>(key.size()) + 1;
  std::int32_t n = ValueEnd(g);
  return rt::Text(UpToNul(buffer_.view().substr(static_cast<std::size_t>(g) - 1, static_cast<std::size_t>(n - g + 1))));
}

// ---------------------------------------------------------------------------
// Writing.

int SettingsStore::WriteEntry(std::string_view section, std::string_view key, std::string_view value) {
  pending_.push_back({std::string(section), std::string(key), std::string(value)});
  if (busy_) return kWriteQueued;
  return RunPending();
}

int SettingsStore::RunPending() {
  if (pending_.empty()) return kWriteFailed;
  std::optional<int> first;
  while (!pending_.empty()) {
    busy_ = true;
    PendingWrite w = pending_.front();  // writes queued meanwhile go behind it
    int result = ApplyWrite(w);
    pending_.pop_front();
    busy_ = false;
    if (!first) first = result;
  }
  return *first;
}

bool SettingsStore::MirrorReplace(std::int64_t offset, std::int64_t removed, std::string_view inserted) {
  if (!file_) return true;
  bool ok = rt::SeekFile(file_, 1, offset);
  if (ok && removed > 0) ok = rt::DeleteFileBytes(file_, removed) && rt::SeekFile(file_, 1, offset);
  if (ok && !inserted.empty()) ok = rt::InsertBytesIntoFile(file_, inserted);
  if (!ok) {
    // The file no longer matches the buffer; further edits at buffer offsets
    // would corrupt it, so let it go.
    rt::CloseFile(file_);
    file_ = 0;
  }
  return ok;
}

bool SettingsStore::MirrorAppend(std::string_view bytes) {
  if (!file_) return true;
  std::int64_t end = rt::FileLength(file_);
  return end >= 0 && MirrorReplace(end, 0, bytes);
}

void SettingsStore::GiveUp() {
  g_message(gbk::SettingsGiveUpMessage, 48 + 4096, gbk::SettingsGiveUpCaption);
  g_message(UpToNul(buffer_.view()), 0, gbk::SettingsDefaultCaption);
}

int SettingsStore::ApplyWrite(const PendingWrite& w) {
  std::int32_t searchFrom = 0;
  int appends = 0;
  int keyInserts = 0;
  bool mirrored = true;
  for (;;) {
    rt::DoEvents();
    auto e = FindSection(w.section, searchFrom, false);
    if (e) {
      if (auto d = FindKey(w.key, *e)) {
        std::int32_t g = *d + static_cast<std::int32_t>(w.key.size()) + 1;
        std::int32_t n = ValueEnd(g);
        std::int32_t old = n - g + 1;
        std::uint64_t newLength = static_cast<std::uint64_t>(buffer_.Length()) - old + w.value.size();
        if (newLength > rt::kBufferMaxCapacity) return kWriteFailed;
        if (old > 0) buffer_.Remove(g, old);
        if (!w.value.empty()) buffer_.InsertBytes(g, w.value);
        mirrored = MirrorReplace(g - 1, old, w.value) && mirrored;
        return mirrored && file_ ? kWriteDone : kWriteFailed;
      }
      if (++keyInserts > kMaxKeyInserts) break;
      std::string entry = lineBreak_ + w.key + "=";
      if (!buffer_.InsertBytes(*e + 1, entry)) return kWriteFailed;
      mirrored = MirrorReplace(*e, 0, entry) && mirrored;
      continue;
    }
    if (appends == kMaxSectionAppends) break;
    searchFrom = buffer_.Length();
    std::string header = (buffer_.Length() == contentStart_ ? "[" : lineBreak_ + "[") + w.section + "]";
    if (!buffer_.AppendBytes(header)) return kWriteFailed;
    mirrored = MirrorAppend(header) && mirrored;
    ++appends;
  }
  GiveUp();
  return kWriteFailed;
}

}  // namespace tl::settings
