// The folder dialog of the folder batch on the test backend: the answer
// queued for it comes back as it is, on Windows too, where the real window's
// backend has the shell's browser and the runtime drives that one instead.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fs/choose_folder.h"
#include "runtime/platform/headless/headless.h"
#include "support/gbk.h"

namespace tl::fs {
namespace {

TEST(ChooseFolder, TheTestBackendAnswersWithoutTheShellsDialog) {
  platform::headless::Headless os;
  ASSERT_FALSE(os.HasShellFolderBrowser()) << "unit tests must never open the shell's dialog";
  platform::Platform* before = platform::Install(&os);
  struct Case {
    std::optional<std::string> answer;
    std::string initial;
    std::optional<std::string> prompt;
    std::string result, title;
  } const cases[] = {
      {"C:\\data", "C:\\", std::nullopt, "C:\\data", test::Gbk("请选择一个文件夹")},
      {" spaced ", "", test::Gbk("请选择需要处理的文件所在文件夹："), " spaced ",
       test::Gbk("请选择需要处理的文件所在文件夹：")},
      {std::nullopt, "D:\\x", std::nullopt, "", test::Gbk("请选择一个文件夹")},
  };
  for (const Case& c : cases) os.AnswerFolder(c.answer);
  for (const Case& c : cases) {
    const rt::Text got = c.prompt ? ChooseFolder(c.initial, *c.prompt) : ChooseFolder(c.initial);
    EXPECT_EQ(got.view(), c.result) << c.initial;
  }
  platform::Install(before);
  ASSERT_EQ(os.FolderDialogs().size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(os.FolderDialogs()[i], cases[i].initial);
    EXPECT_EQ(os.FolderDialogTitles()[i], cases[i].title);
  }
}

}  // namespace
}  // namespace tl::fs
