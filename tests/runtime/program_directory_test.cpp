// The program directory before start-up records one: the folder of the
// running program file, cut at its last whole separator ("乗" is 0x81 0x5C,
// and 0x5C is "\" on Windows). The test runs a copy of this test program,
// named so, that runs only ProgramDirectoryChild and writes what it found.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/commands/system_commands.h"
#include "runtime/os/process.h"
#include "support/env.h"
#include "support/gbk.h"
#include "support/paths.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace tl::rt {
namespace {

TEST(ProgramDirectory, BeforeStartUpIsTheRunningProgramsFolder) {
  const std::filesystem::path tmp = test::MakeTempDir();
  ASSERT_FALSE(tmp.empty());
  const std::filesystem::path folder = tmp / std::u8string(u8"目录乗");
  const std::u8string file = test::kWindows ? u8"程序乗.exe" : u8"程序乗";
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(std::filesystem::path(os::ProgramPath()), folder / file);
  const std::u8string utf8 = (folder / file).u8string();
  // CreateProcessA takes the ANSI code page (GBK); exec takes the file's own bytes.
  const std::string program =
      test::kWindows ? test::Gbk(std::string(utf8.begin(), utf8.end())) : std::string(utf8.begin(), utf8.end());
  const std::filesystem::path out = tmp / "found";
  const test::RunResult r = test::RunProgram(program, {"--gtest_filter=ProgramDirectoryChild.*"}, "",
                                             {"TIDYLINE_TEST_MARKER=" + out.string()});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::u8string dir = folder.u8string();
  EXPECT_EQ(test::ReadWholeFile(out), test::Gbk(std::string(dir.begin(), dir.end())));
  std::filesystem::remove_all(tmp);
}

// Not a test of its own: the copy that the test above runs.
TEST(ProgramDirectoryChild, WritesWhatItFound) {
  const auto out = test::GetEnv("TIDYLINE_TEST_MARKER");
  if (!out) GTEST_SKIP() << "only as the program that ProgramDirectory starts";
  test::WriteWholeFile(*out, std::string(ProgramDirectory().view()));
}

}  // namespace
}  // namespace tl::rt
