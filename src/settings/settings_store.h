// The configuration store: an INI-style GBK file (CR LF line breaks) kept
// whole in a byte buffer and edited in place, in memory and in the open
// file at once, so the file on disk is current after every change and
// nothing needs saving at exit.
//
// File shapes the store recognises:
//   header  "[" name "]" at the start of the file or right after CR LF,
//           followed on its line by nothing but spaces or tabs
//   entry   CR LF key "=" value; the value runs to the next CR LF or the end
// Keys match byte for byte. Sections are appended at the end of the file; a
// new key goes directly after its header, so «[S]\r\nB=2\r\nA=1» is what
// setting A then B in an empty file gives. A file with LF line breaks and no
// CR LF at all (edited with a Linux editor) is read and written with LF in
// place of CR LF; a leading UTF-8 byte-order mark is kept and skipped.
//
// Modes: 0 the file (kept open read-write, created if missing, never
// truncated, others may read but not write), 1 a throw-away in-memory copy,
// 2 the registry under "Lumora软件\<base name>\<section>\".
//
// Reads and writes yield to the message loop (DoEvents), so handlers can run
// in the middle of a store call. Writes that arrive while another is being
// carried out wait in a queue and run after it, in arrival order; their
// caller is told "not done now" (3, false).
#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/commands/buffer_object.h"
#include "runtime/core/value.h"

namespace tl::settings {

// Shows a message box (text, flags, caption) and returns the button. The
// default is the message-box command (standard error while no window system
// is installed); tests replace it to watch the give-up path.
using MessageHook = int (*)(std::string_view text, int flags, std::string_view caption);
MessageHook SetSettingsMessageHook(MessageHook hook);

// Results of WriteEntry.
inline constexpr int kWriteDone = 0;
inline constexpr int kWriteFailed = -1;
inline constexpr int kWriteQueued = 3;

class SettingsStore {
 public:
  SettingsStore() = default;
  // One store owns one open file; copying would close it twice.
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;
  ~SettingsStore();

  // Modes 0 and 1: loads the file (missing is fine) and opens it; true when
  // a file number was obtained. Mode 2: true, no file touched.
  bool Open(std::string_view path, int mode);
  // Makes the section current and returns the registry prefix.
  rt::Text SelectSection(std::string_view section);

  bool SetTextValue(std::string_view key, std::string_view value);
  rt::Text GetTextValue(std::string_view key, std::string_view defaultValue);
  bool SetNumberValue(std::string_view key, double value);
  double GetNumberValue(std::string_view key, double defaultValue);
  bool SetFlagValue(std::string_view key, bool value);
  bool GetFlagValue(std::string_view key, bool defaultValue);
  bool SetTimeValue(std::string_view key, double value);
  double GetTimeValue(std::string_view key, double defaultValue);

  // Binary values live beside the settings file in
  // "<dir>/inibin/<section>-<key>.ibn".
  bool SetBinaryValue(std::string_view key, std::string_view bytes);
  rt::ByteSet GetBinaryValue(std::string_view key, std::string_view defaultBytes);

  // The window's state (property 18) and, in the normal state, its left,
  // top, width and height as numbers in section `name` + ".尺寸" ("主界面"
  // when the name is empty), which becomes the current section.
  void SaveWindowGeometry(std::uint32_t window, std::string_view name);
  // Reads them back (defaults: the window's current values): sets the
  // state, and in the normal state moves the window in one step.
  void RestoreWindowGeometry(std::uint32_t window, std::string_view name);

  // Closes the file (if open) and empties the buffer.
  void Close();

  // The raw entry operations under the typed ones (file modes).
  rt::Text ReadEntry(std::string_view section, std::string_view key, std::string_view defaultValue);
  int WriteEntry(std::string_view section, std::string_view key, std::string_view value);

  // Inspection.
  std::string_view Content() const { return buffer_.view(); }
  std::int32_t FileNumber() const { return file_; }
  int Mode() const { return mode_; }
  std::string_view Section() const { return section_; }
  bool Busy() const { return busy_; }
  std::size_t PendingCount() const { return pending_.size(); }

 private:
  struct PendingWrite {
    std::string section, key, value;
  };

  // 1-based positions in the buffer, as the search rules are written.
  std::optional<std::int32_t> FindSection(std::string_view name, std::int32_t from, bool yieldEachPass) const;
  std::optional<std::int32_t> FindKey(std::string_view key, std::int32_t sectionEnd) const;
  std::int32_t HeaderBetween(std::int32_t a, std::int32_t b) const;
  // True when only blanks follow position `afterClose` up to a line break or
  // the end of the buffer.
  bool HeaderEndsLine(std::int32_t afterClose) const;
  // Last byte of the value starting at g (g - 1 when empty).
  std::int32_t ValueEnd(std::int32_t g) const;

  int RunPending();
  int ApplyWrite(const PendingWrite& w);
  // Mirrors a buffer change into the open file; true when there is no file
  // or every file command succeeded.
  bool MirrorReplace(std::int64_t offset, std::int64_t removed, std::string_view inserted);
  bool MirrorAppend(std::string_view bytes);
  void GiveUp();

  bool Write(std::string_view key, const std::string& text);
  std::string Read(std::string_view key, const std::string& defaultText);
  std::string BinaryPath(std::string_view key) const;

  rt::Buffer buffer_;
  std::int32_t file_ = 0;
  std::string loadedPath_;
  bool busy_ = false;
  std::deque<PendingWrite> pending_;
  std::string path_;
  std::string section_;
  int mode_ = 0;
  std::string registryPrefix_;
  // The loaded file's line break: LF for a file with LF and no CR LF,
  // otherwise (and for a new file) CR LF.
  std::string lineBreak_ = "\r\n";
  // Bytes of a leading UTF-8 byte-order mark (0 or 3).
  std::int32_t contentStart_ = 0;
};

}  // namespace tl::settings
