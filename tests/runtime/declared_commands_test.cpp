// Declared DLL commands: the program's declarations, resolution by the
// search rules, the cache and the libraries kept, the two error messages,
// and calls through them. Windows resolves against the system's libraries;
// Linux has none of them, so there the rules are checked with the C
// library's shared object standing in.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/declared_commands.h"
#include "runtime/window/shell_folder_browser.h"
#include "support/exit_code.h"
#include "support/gbk.h"
#include "support/paths.h"

namespace tl::rt {
namespace {

using test::Gbk;
using test::kWindows;

TEST(DeclaredDllCommands, TheProgramsTwentyTwoDeclarations) {
  const auto table = DeclaredDllCommands();
  ASSERT_EQ(table.size(), 22u);
  struct Want {
    int index;
    std::string_view library, exportName;
  } const named[] = {
      {kDllMultiByteToWideChar, "", "MultiByteToWideChar"}, {kDllWideCharToMultiByte, "", "WideCharToMultiByte"},
      {kDllLoadDll, "msvcrt", "_loaddll"},                  {kDllGetDllProcAddress, "msvcrt", "_getdllprocaddr"},
      {kDllSHBrowseForFolderA, "", "SHBrowseForFolderA"},   {kDllSHGetPathFromIDListA, "", "SHGetPathFromIDListA"},
      {kDllSendMessageA, "", "SendMessageA"},               {kDllShellExecuteA, "", "ShellExecuteA"},
      {kDllCallWindowProcA, "", "CallWindowProcA"},         {kDllLstrcpyn, "", "lstrcpynA"},
      {kDllCoInitialize, "ole32.dll", "CoInitialize"},      {kDllCoUninitialize, "ole32.dll", "CoUninitialize"},
      {kDllRegisterWindowMessageA, "user32", "RegisterWindowMessageA"},
  };
  for (const Want& w : named) {
    EXPECT_EQ(table[static_cast<std::size_t>(w.index)].library, w.library) << w.exportName;
    EXPECT_EQ(table[static_cast<std::size_t>(w.index)].exportName, w.exportName);
  }
  // The two conversions fill the rest, under the three library spellings.
  for (int i = 0; i < 11; ++i) {
    const DllDeclaration& d = table[static_cast<std::size_t>(i)];
    EXPECT_EQ(d.exportName, i < 6 ? "MultiByteToWideChar" : "WideCharToMultiByte") << i;
    EXPECT_TRUE(d.library == "" || d.library == "kernel32" || d.library == "Kernel32") << i;
  }
}

TEST(DeclaredDllCommands, ErrorMessagesNameTheLibraryAndTheExport) {
  EXPECT_EQ(test::Utf8(DllDeclarationErrorText({"kernel32", "NoSuchExport"})),
            "无法找到指定DLL库文件“kernel32”中的输出命令“NoSuchExport”");
  EXPECT_EQ(test::Utf8(DllDeclarationErrorText({"", "NoSuchExport"})), "无法找到指定DLL库文件中的输出命令“NoSuchExport”");
}

// Each declaration of the program resolves where the system has its
// libraries, and only there.
TEST(DeclaredDllCommands, EveryDeclarationResolvesOnWindows) {
  for (const DllDeclaration& d : DeclaredDllCommands()) {
    const auto found = ResolveDllDeclaration(d, "");
    EXPECT_EQ(found.has_value(), kWindows) << d.library << " " << d.exportName;
    if (found) os::UnloadLibrary(found->library);
  }
}

// An empty library name searches Kernel32, Gdi32, User32, Advapi32, Mpr,
// Shell32 in this order and keeps the first that has the export; "#N" is
// an ordinal; a name with ":" is loaded as it is.
TEST(DeclaredDllCommands, SearchOrderOrdinalsAndFullPaths) {
  if (!kWindows) {
    // No system library here: only a full path or a name the loader knows.
    EXPECT_FALSE(ResolveDllDeclaration({"", "strlen"}, ""));
    const auto libc = ResolveDllDeclaration({"libc.so.6", "strlen"}, "/nonexistent");
    ASSERT_TRUE(libc);
    os::UnloadLibrary(libc->library);
    EXPECT_FALSE(ResolveDllDeclaration({"libc.so.6", "#1"}, "")) << "shared objects have no ordinals";
    return;
  }
  struct Case {
    const char* exportName;
    const char* library;  // where it must be found
  } const cases[] = {
      {"GetTickCount", "Kernel32.dll"}, {"CreatePen", "Gdi32.dll"},   {"MessageBoxA", "User32.dll"},
      {"CryptAcquireContextA", "Advapi32.dll"}, {"WNetGetConnectionA", "Mpr.dll"}, {"SHBrowseForFolderA", "Shell32.dll"},
  };
  for (const Case& c : cases) {
    const auto found = ResolveDllDeclaration({"", c.exportName}, "");
    ASSERT_TRUE(found) << c.exportName;
    const os::LibraryHandle expected = os::LoadLibraryAt(c.library);
    EXPECT_EQ(found->library, expected) << c.exportName << " not from " << c.library;
    EXPECT_EQ(found->address, os::FindExport(expected, c.exportName));
    os::UnloadLibrary(expected);
    os::UnloadLibrary(found->library);
  }
  EXPECT_FALSE(ResolveDllDeclaration({"", "NoSuchExport"}, ""));
  EXPECT_FALSE(ResolveDllDeclaration({"no-such-library.dll", "GetTickCount"}, ""));
  // Ordinal 155 of the shell library is ILFree.
  const auto byOrdinal = ResolveDllDeclaration({"shell32.dll", "#155"}, "");
  ASSERT_TRUE(byOrdinal);
  EXPECT_EQ(byOrdinal->address, os::FindExport(byOrdinal->library, "ILFree"));
  os::UnloadLibrary(byOrdinal->library);
  const auto full = ResolveDllDeclaration({"C:\\windows\\system32\\kernel32.dll", "GetTickCount"}, "Z:\\nowhere");
  ASSERT_TRUE(full);
  os::UnloadLibrary(full->library);
}

TEST(DeclaredDllCommands, FirstCallResolvesLaterCallsUseTheCacheShutdownUnloads) {
  if (!kWindows) GTEST_SKIP() << "the declared system libraries exist on Windows only";
  UnloadDeclaredDllCommands();
  EXPECT_EQ(DeclaredDllLibrary(kDllMultiByteToWideChar), nullptr);
  void* first = DeclaredDllCommandAddress(kDllMultiByteToWideChar);
  ASSERT_NE(first, nullptr);
  const os::LibraryHandle kept = DeclaredDllLibrary(kDllMultiByteToWideChar);
  EXPECT_NE(kept, nullptr);
  EXPECT_EQ(DeclaredDllCommandAddress(kDllMultiByteToWideChar), first);
  EXPECT_EQ(DeclaredDllLibrary(kDllMultiByteToWideChar), kept);
  EXPECT_EQ(DeclaredDllLibrary(kDllWideCharToMultiByte), nullptr) << "only what was called is resolved";
  // A call through the declaration, with the system's calling convention.
  const std::string gbk = Gbk("中文");
  wchar_t wide[8] = {};
  const int n = CallDeclaredDllCommand<int>(kDllMultiByteToWideChar, 936u, 0ul, gbk.c_str(), static_cast<int>(gbk.size()),
                                            wide, 8);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(wide[0], 0x4E2D);
  EXPECT_EQ(wide[1], 0x6587);
  UnloadDeclaredDllCommands();
  EXPECT_EQ(DeclaredDllLibrary(kDllMultiByteToWideChar), nullptr);
  EXPECT_NE(DeclaredDllCommandAddress(kDllMultiByteToWideChar), nullptr) << "resolved again after unloading";
  UnloadDeclaredDllCommands();
}

// A declaration that cannot be resolved ends the program on its first call
// with the runtime error that names it; an index outside the table is
// error 1 or 4.
TEST(DeclaredDllCommandsDeathTest, UnresolvableDeclarationsAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  static const std::string library = "kernel32", missing = "NoSuchExport";
  EXPECT_EXIT(
      {
        ReplaceDllDeclarationForTesting(kDllLstrcpyn, {library, missing});
        DeclaredDllCommandAddress(kDllLstrcpyn);
      },
      ::testing::ExitedWithCode(test::kFatalExitStatus), "kernel32.*NoSuchExport");
  EXPECT_EXIT(
      {
        ReplaceDllDeclarationForTesting(kDllLstrcpyn, {"", missing});
        DeclaredDllCommandAddress(kDllLstrcpyn);
      },
      ::testing::ExitedWithCode(test::kFatalExitStatus), "NoSuchExport");
  EXPECT_EXIT(DeclaredDllCommandAddress(22), ::testing::ExitedWithCode(test::kFatalExitStatus), "");
  EXPECT_EXIT(DeclaredDllCommandAddress(-1), ::testing::ExitedWithCode(test::kFatalExitStatus), "");
}

TEST(FolderBrowser, FlagsFromTheThreeOptions) {
  struct Case {
    std::optional<bool> includeFiles, editBox, newStyle;
    std::uint32_t flags;
  } const cases[] = {
      {std::nullopt, std::nullopt, std::nullopt, 0x50}, {true, std::nullopt, std::nullopt, 0x4050},
      {false, false, std::nullopt, 0x40},                {std::nullopt, true, false, 0x10},
      {true, false, false, 0x4000},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderBrowserFlags(c.includeFiles, c.editBox, c.newStyle), c.flags);
}

// The callback answers 1 to every message; on the initialised notification
// it asks the dialog (here no window: the message goes nowhere) to select
// the initial folder.
TEST(FolderBrowser, CallbackSelectsTheInitialFolder) {
  if (!kWindows) GTEST_SKIP() << "the callback sends its message through the declared SendMessageA";
  for (std::uint32_t message : {1u, 2u, 3u}) EXPECT_EQ(FolderBrowserNotify(nullptr, message, 0, 0), 1) << message;
  EXPECT_NE(DeclaredDllLibrary(kDllSendMessageA), nullptr) << "the initialised notification sent through it";
}

}  // namespace
}  // namespace tl::rt
