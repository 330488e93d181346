// The Win32 backend (the Windows program). This header carries no system
// types, so the program's main() and the tests can make a backend without
// <windows.h>. Handles are the HWND of each window or control.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "runtime/platform/platform.h"

namespace tl::platform::win32 {

struct Impl;

class Win32Backend final : public Platform {
 public:
  Win32Backend();
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  // The hidden runtime window (timers, the forwarded exit, the clipboard's
  // owner); kNoHandle before StartRuntimeWindow.
  Handle RuntimeWindow() const;

  // --- Platform
  void StartRuntimeWindow() override;
  void StopRuntimeWindow() override;
  void ForwardExit(int code) override;

  void SetEventSink(EventSink* sink) override;
  int RunLoop() override;
  void PostQuit(int code) override;
  void PumpPending() override;
  void RunModalLoop(Handle window) override;
  void EndModalLoop(Handle window) override;

  Handle CreateWidget(const WidgetSpec& spec) override;
  void DestroyWidget(Handle w) override;
  Rect GetRect(Handle w) override;
  void SetRect(Handle w, const Rect& r) override;
  Handle GetParent(Handle w) override;
  void SetParent(Handle w, Handle parent) override;
  void PlaceTop(Handle w) override;
  void PlaceBelow(Handle w, Handle sibling) override;
  void SetVisible(Handle w, bool visible) override;
  bool IsVisible(Handle w) override;
  void ActivateWindow(Handle window) override;
  int GetWindowState(Handle window) override;
  void SetWindowState(Handle window, int state) override;
  void SetEnabled(Handle w, bool enabled) override;
  bool IsEnabled(Handle w) override;
  Handle GetFocus() override;
  void SetFocus(Handle w) override;
  void SetText(Handle w, std::string_view text) override;
  std::string GetText(Handle w) override;
  void SetTextColour(Handle w, std::uint32_t colour) override;
  void SetChecked(Handle w, bool checked) override;
  bool IsChecked(Handle w) override;
  void AddItem(Handle combo, std::string_view item) override;
  int ItemCount(Handle combo) override;
  void SetSelection(Handle combo, int index) override;
  int GetSelection(Handle combo) override;
  void SetProgressRange(Handle bar, int minimum, int maximum) override;
  void SetProgressPosition(Handle bar, int position) override;
  int GetProgressPosition(Handle bar) override;
  void SetPictures(Handle w, std::span<const std::string> images, std::uint32_t transparent) override;
  void SetCursor(Handle w, std::string_view cursor) override;
  Size ScreenSize() override;

  TimerId StartTimer(std::uint32_t period_ms) override;
  void StopTimer(TimerId timer) override;

  int MessageBox(std::string_view text, std::string_view caption, std::uint32_t style) override;
  std::optional<std::vector<std::string>> OpenFilesDialog(const OpenFilesRequest& request) override;
  // The runtime shows the shell's folder browser itself, through its
  // declared commands (HasShellFolderBrowser); this one is never asked and
  // answers nothing.
  std::optional<std::string> BrowseForFolder(std::string_view title, std::string_view initial_folder) override;
  bool HasShellFolderBrowser() const override { return true; }

  std::optional<std::string> GetClipboardText() override;
  bool SetClipboardText(std::string_view text) override;

  bool OpenDocument(std::string_view target, std::string_view verb, int show) override;
  bool OpenFolder(std::string_view path, bool new_window, bool select) override;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tl::platform::win32
