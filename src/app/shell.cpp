// The shell helpers and the banner's handlers.
#include "app/shell.h"

#include "app/app_state.h"
#include "app/handlers.h"
#include "gbk_texts.h"
#include "runtime/core/gbk_view.h"
#include "runtime/core/startup.h"
#include "runtime/commands/system_commands.h"
#include "runtime/window/shell_commands.h"

namespace tl::app {

namespace {
constexpr int kShowNormal = 1;
constexpr bool kWindowsShell = rt::kPathSeparator == '\\';

bool EndsWithExe(std::string_view path) {
  if (path.size() < 4) return false;
  std::string tail(path.substr(path.size() - 4));
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return tail == ".exe";
}
}  // namespace

void OpenUrl(std::string_view url) { rt::OpenDocument(url, kShowNormal); }

std::string ExplorerCommandLine(std::string_view path, const ExplorerOptions& o) {
  std::string command = "explorer ";
  command += o.newWindow ? "/n" : "/e";
  command += ',';
  if (!o.openItself && !o.root) command += "/select,";
  if (o.root) command += "/root,";
  command += '"';
  command += path;
  command += '"';
  return command;
}

bool OpenInExplorer(std::string& path, const ExplorerOptions& o) {
  if (o.root) {
    const std::size_t p = gbk::FindLastSeparator(path);
    if (p != std::string::npos) path.resize(p);
  }
  // Quoted so that a path with spaces runs that program, not a prefix of it.
  if (o.openItself && EndsWithExe(path)) return rt::RunProgram('"' + path + '"', o.wait, o.showMode);
  if constexpr (kWindowsShell) return rt::RunProgram(ExplorerCommandLine(path, o), o.wait, o.showMode);
  return rt::OpenFolderInBrowser(path, o.newWindow, !o.openItself && !o.root);
}

void onLogoClick() { OpenUrl(std::string(gbk::UiMakerSite) + std::string(gbk::UiChannelPath)); }

void onHomepageImageClick() { OpenUrl(GetText(ui::kHomeLink, prop::kLinkTarget)); }

void onSlideTimer() {
  if (!MainWindowOpen()) return;
  AppState& app = App();
  std::int32_t left = GetInt(ui::kLogo, prop::kLeft);
  if (app.moveLeft) {
    Set(ui::kLogo, prop::kLeft, left - 1);
    if (left - 1 >= 20) return;
    app.moveLeft = false;
    return;
  }
  Set(ui::kLogo, prop::kLeft, left + 1);
  left = GetInt(ui::kLogo, prop::kLeft);
  const double overlap = static_cast<double>(left + GetInt(ui::kLogo, prop::kWidth)) -
                         static_cast<double>(GetInt(ui::kHomeIcon, prop::kLeft) - 20);
  if (overlap > 0.0000001) app.moveLeft = true;
}

}  // namespace tl::app
