// The open-file dialog and the folder browser, answered from a timer as a
// person would: names typed into the dialog, OK pressed.
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
  // Each tick looks for the dialog with `title`; once found, `act` answers it.
  void AnswerWith(const std::string& title, std::function<bool(HWND)> act) {
    rec.reply = [this, title, act](Handle, const Event& e) {
      if (e.type != EventType::kTimer || answered_) return EventReply{};
      HWND dlg = FindWindowA("#32770", title.c_str());
      if (dlg && IsWindowVisible(dlg) && act(dlg)) answered_ = true;
      return EventReply{};
    };
  }
  std::string dir_;
  std::vector<std::string> files_;
  bool answered_ = false;
};

HWND NameBox(HWND dlg) {
  // The explorer-style dialog's name field: an edit, or a combo box's edit.
  if (HWND edit = GetDlgItem(dlg, 0x480)) return edit;
  if (HWND combo = GetDlgItem(dlg, 0x47C)) return FindWindowExA(combo, nullptr, "Edit", nullptr);
  return nullptr;
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
  platform::TimerId t = os.StartTimer(50);
  platform::OpenFilesRequest request;
  request.title = title;
  request.filters = {{Gbk("文本文件"), "*.txt"}, {Gbk("所有文件"), "*.*"}};
  request.initial_directory = dir_;
  request.keep_current_directory = true;
  auto chosen = os.OpenFilesDialog(request);
  os.StopTimer(t);
  ASSERT_TRUE(answered_) << "the dialog was not found";
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, (std::vector<std::string>{a, b}));
  (void)c;
}

TEST_F(DialogTest, ACancelledDialogGivesNothing) {
  File("a.txt");
  const std::string title = Gbk("打开");
  AnswerWith(title, [&](HWND dlg) {
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
    return true;
  });
  platform::TimerId t = os.StartTimer(50);
  platform::OpenFilesRequest request;
  request.title = title;
  request.initial_directory = dir_;
  request.keep_current_directory = true;
  auto chosen = os.OpenFilesDialog(request);
  os.StopTimer(t);
  EXPECT_TRUE(answered_);
  EXPECT_EQ(chosen, std::nullopt);
}

TEST_F(DialogTest, TheFolderBrowserOpensOnTheInitialFolderAndReturnsIt) {
  const std::string title = Gbk("请选择一个文件夹");
  // The browser's window is titled by the system; the prompt is inside.
  AnswerWith("", [&](HWND) { return false; });
  rec.reply = [&](Handle, const Event& e) {
    if (e.type != EventType::kTimer || answered_) return EventReply{};
    HWND dlg = nullptr;
    while ((dlg = FindWindowExA(nullptr, dlg, "#32770", nullptr))) {
      if (!IsWindowVisible(dlg) || GetWindowThreadProcessId(dlg, nullptr) != GetCurrentThreadId()) continue;
      bool has_prompt = false;
      for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (WindowText(child) == title) has_prompt = true;
      if (!has_prompt) continue;
      PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
      answered_ = true;
      break;
    }
    return EventReply{};
  };
  platform::TimerId t = os.StartTimer(100);
  auto folder = os.BrowseForFolder(title, dir_);
  os.StopTimer(t);
  ASSERT_TRUE(answered_) << "the folder browser was not found";
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(lstrcmpiA(folder->c_str(), dir_.c_str()), 0) << *folder << " vs " << dir_;
}

}  // namespace
}  // namespace tl::wintest
