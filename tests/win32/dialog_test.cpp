// The open-file dialog and the folder browser, answered from a timer as a
// person would: names typed into the dialog, OK pressed.
#include <optional>
#include <utility>
#include <vector>

#include "runtime/window/shell_commands.h"
#include "support/gbk.h"
#include "win32/win32_support.h"

namespace tl::wintest {
namespace {

using test::Gbk;

class DialogTest : public Win32Test {
 protected:
  void SetUp() override {
    Win32Test::SetUp();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    dir_ = std::string(temp) + "tidyline-dialog-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const auto& f : files_) DeleteFileA(f.c_str());
    RemoveDirectoryA(dir_.c_str());
    Win32Test::TearDown();
  }
  std::string File(const std::string& name) {
    std::string path = dir_ + "\\" + name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    files_.push_back(path);
    return path;
  }
  // Each tick looks for the dialog with `title`; once found, `act` answers
  // it (it may be shown `times` times). A dialog never found is cancelled
  // after a while, so a failure cannot hang the tests.
  void AnswerWith(const std::string& title, std::function<bool(HWND)> act, int times = 1) {
    rec.reply = [this, title, act, times](Handle, const Event& e) {
      if (e.type != EventType::kTimer) return EventReply{};
      if (answers_ >= times || ++ticks_ > kGiveUpTicks) {
        if (ticks_ > kGiveUpTicks) CancelOurDialogs();
        return EventReply{};
      }
      HWND dlg = FindWindowA("#32770", title.c_str());
      if (dlg && IsWindowVisible(dlg) && dlg != last_ && act(dlg)) {
        ++answers_;
        answered_ = true;
        last_ = dlg;
      }
      return EventReply{};
    };
  }
  // The open-file dialog on the scratch folder, answered by the timer.
  std::optional<std::vector<std::string>> OpenFiles(const std::string& title,
                                                    std::vector<std::pair<std::string, std::string>> filters = {}) {
    platform::TimerId t = os.StartTimer(50);
    platform::OpenFilesRequest request;
    request.title = title;
    request.filters = std::move(filters);
    request.initial_directory = dir_;
    request.keep_current_directory = true;
    auto chosen = os.OpenFilesDialog(request);
    os.StopTimer(t);
    return chosen;
  }
  static void CancelOurDialogs() {
    HWND dlg = nullptr;
    while ((dlg = FindWindowExA(nullptr, dlg, "#32770", nullptr)))
      if (GetWindowThreadProcessId(dlg, nullptr) == GetCurrentThreadId())
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  static constexpr int kGiveUpTicks = 200;
  int answers_ = 0, ticks_ = 0;
  HWND last_ = nullptr;
  std::string dir_;
  std::vector<std::string> files_;
  bool answered_ = false;
};

// The explorer-style dialog's name field: a combo box (cmb13), or an edit
// (edt1) in older dialogs.
HWND NameBox(HWND dlg) {
  if (HWND combo = GetDlgItem(dlg, 0x47C)) return combo;
  return GetDlgItem(dlg, 0x480);
}

TEST_F(DialogTest, SeveralFilesChosenComeBackAsFullPathsInTheDialogsOrder) {
  std::string a = File("a.txt"), b = File(Gbk("乙.txt")), c = File("c.log");
  const std::string title = Gbk("请选择文件");
  AnswerWith(title, [&](HWND dlg) {
    HWND name = NameBox(dlg);
    if (!name) return false;
    SetWindowTextA(name, ("\"a.txt\" \"" + Gbk("乙.txt") + "\"").c_str());
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
    return true;
  });
  auto chosen = OpenFiles(title, {{Gbk("文本文件"), "*.txt"}, {Gbk("所有文件"), "*.*"}});
  ASSERT_TRUE(answered_) << "the dialog was not found";
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, (std::vector<std::string>{a, b}));
  (void)c;
}

TEST_F(DialogTest, ASelectionLargerThanTheBufferIsAskedForAgainAndComesBackWhole) {
  // 340 names of 198 bytes: more than the first buffer of 61440 bytes.
  std::vector<std::string> want;
  std::string typed;
  for (int i = 0; i < 340; ++i) {
    std::string name = std::string(190, 'n') + std::to_string(1000 + i) + ".txt";
    want.push_back(File(name));
    typed += "\"" + name + "\" ";
  }
  const std::string title = Gbk("大量文件");
  AnswerWith(title, [&](HWND dlg) {
    HWND name = NameBox(dlg);
    if (!name) return false;
    SetWindowTextA(name, typed.c_str());
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
    return true;
  }, 2);
  auto chosen = OpenFiles(title);
  EXPECT_EQ(answers_, 2) << "the dialog is shown again with room for the selection";
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->size(), want.size());
  if (!chosen->empty()) {
    EXPECT_EQ(chosen->back().size(), want.back().size()) << chosen->back();
  }
  EXPECT_TRUE(*chosen == want);
}

TEST_F(DialogTest, ACancelledDialogGivesNothing) {
  File("a.txt");
  const std::string title = Gbk("打开");
  AnswerWith(title, [&](HWND dlg) {
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
    return true;
  });
  auto chosen = OpenFiles(title);
  EXPECT_TRUE(answered_);
  EXPECT_EQ(chosen, std::nullopt);
}

TEST_F(DialogTest, TheFolderBrowserOpensOnTheInitialFolderAndReturnsIt) {
  const std::string title = Gbk("请选择一个文件夹");
  // The browser's window is titled by the system; the prompt is inside.
  rec.reply = [&](Handle, const Event& e) {
    if (e.type != EventType::kTimer || answered_) return EventReply{};
    if (++ticks_ > kGiveUpTicks / 2) {
      CancelOurDialogs();
      return EventReply{};
    }
    HWND dlg = nullptr;
    while ((dlg = FindWindowExA(nullptr, dlg, "#32770", nullptr))) {
      if (!IsWindowVisible(dlg) || GetWindowThreadProcessId(dlg, nullptr) != GetCurrentThreadId()) continue;
      bool has_prompt = false, shows_folder = false;
      std::string leaf = dir_.substr(dir_.rfind('\\') + 1);
      for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::string text = WindowText(child);
        if (text == title) has_prompt = true;
        // The edit box names the selected folder once the selection is made
        // (the dialog may fill its tree after it is shown).
        char cls[16] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Edit") == 0 && lstrcmpiA(text.c_str(), leaf.c_str()) == 0) shows_folder = true;
      }
      if (!has_prompt || !shows_folder) continue;
      PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
      answered_ = true;
      break;
    }
    return EventReply{};
  };
  // The program's way: the runtime drives the shell's browser through the
  // declared commands, this backend says it has one.
  ASSERT_TRUE(os.HasShellFolderBrowser());
  platform::Platform* before = platform::Install(&os);
  platform::TimerId t = os.StartTimer(100);
  auto folder = rt::BrowseForFolder(title, dir_);
  os.StopTimer(t);
  platform::Install(before);
  ASSERT_TRUE(answered_) << "the folder browser was not found";
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(lstrcmpiA(folder->c_str(), dir_.c_str()), 0) << *folder << " vs " << dir_;
}

}  // namespace
}  // namespace tl::wintest
