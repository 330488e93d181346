#include "settings/settings_store.h"

#include <cstdio>

#include "gbk_texts.h"
#include "runtime/window/window_commands.h"
#include "runtime/os/files.h"
#include "runtime/commands/files.h"
#include "runtime/commands/convert_commands.h"
#include "runtime/core/message_pump.h"
#include "runtime/commands/registry.h"
#include "runtime/commands/text_commands.h"

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

bool IsSeparator(char c) { return c == rt::fileio::kSeparator || c == '/'; }

std::size_t LastSeparator(std::string_view path) {
  for (std::size_t i = path.size(); i-- > 0;)
    if (IsSeparator(path[i])) return i;
  return std::string_view::npos;
}

// The part after the last separator, cut before its last ".".
std::string_view BaseName(std::string_view path) {
  std::size_t cut = LastSeparator(path);
  if (cut != std::string_view::npos) path.remove_prefix(cut + 1);
  std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? path : path.substr(0, dot);
}

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

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
  if (mode < 0 || mode > 2) return false;
  Close();
  path_ = std::string(path);
  mode_ = mode;
  if (mode == 2) return true;
  loadedPath_ = path_;
  buffer_.LoadFile(path);  // a missing or unreadable file leaves the buffer empty
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
  return Write(key, ReplaceAll(value, kCrLf, gbk::SettingsLineBreakMark));
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
// Binary side store.

std::string SettingsStore::BinaryPath(std::string_view key) const {
  // Section and key become one file name: a separator in either would
  // reach outside the folder.
  for (std::string_view part : {std::string_view(section_), key})
    for (char c : part)
      if (IsSeparator(c)) return {};
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

std::optional<std::int32_t> SettingsStore::FindSection(std::string_view name, std::int32_t from,
                                                       bool yieldEachPass) const {
  std::string header = "[" + std::string(name) + "]";
  std::int32_t s = from;
  for (;;) {
    if (yieldEachPass) rt::DoEvents();
    std::int32_t p = buffer_.Find(header, s);
    if (p == -1) return std::nullopt;
    std::string_view v = buffer_.view();
    if (p == 1 || (p >= 3 && v.substr(static_cast<std::size_t>(p) - 3, 2) == kCrLf))
      return p + static_cast<std::int32_t>(header.size()) - 1;
    s = p + 1;
  }
}

std::optional<std::int32_t> SettingsStore::FindKey(std::string_view key, std::int32_t sectionEnd) const {
  std::string entry = std::string(kCrLf) + std::string(key) + "=";
  std::int32_t m = buffer_.Find(entry, sectionEnd);
  if (m == -1) return std::nullopt;
  std::int32_t d = m + 2;
  if (HeaderBetween(sectionEnd + 1, d - 1) != -1) return std::nullopt;  // it belongs to a later section
  return d;
}

std::int32_t SettingsStore::HeaderBetween(std::int32_t a, std::int32_t b) const {
  for (;;) {
    std::int32_t f = buffer_.Find("\r\n[", a);
    if (f == -1 || f >= b) return -1;
    a = f + 2;
    std::int32_t g = buffer_.Find("]\r\n", a);
    if (g == -1) continue;
    if (g > b) return -1;
    std::string_view candidate = buffer_.view().substr(static_cast<std::size_t>(a) - 1, static_cast<std::size_t>(g - a + 1));
    if (candidate.find(kCrLf) == std::string_view::npos) return a;
  }
}

std::int32_t SettingsStore::ValueEnd(std::int32_t g) const {
  std::int32_t n = buffer_.Find(kCrLf, g);
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
      std::string entry = std::string(kCrLf) + w.key + "=";
      if (!buffer_.InsertBytes(*e + 1, entry)) return kWriteFailed;
      mirrored = MirrorReplace(*e, 0, entry) && mirrored;
      continue;
    }
    if (appends == kMaxSectionAppends) break;
    searchFrom = buffer_.Length();
    std::string header = (buffer_.Length() == 0 ? "[" : "\r\n[") + w.section + "]";
    if (!buffer_.AppendBytes(header)) return kWriteFailed;
    mirrored = MirrorAppend(header) && mirrored;
    ++appends;
  }
  GiveUp();
  return kWriteFailed;
}

}  // namespace tl::settings
