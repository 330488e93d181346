// Shared helpers of the file tests: a fresh temporary directory per test and
// conversions between the sources' UTF-8 and the program's GBK.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "support/gbk.h"

namespace tl::testing {

using tl::test::Gbk;
using tl::test::Utf8;

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A name no other test run has taken (create_directory is false for one
    // that exists).
    std::random_device seed;
    std::error_code ec;
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() / ("tidyline-" + std::to_string(seed()));
      if (std::filesystem::create_directory(candidate, ec)) {
        dir_ = candidate;
        return;
      }
    }
    FAIL() << "no temporary directory";
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (auto& e : std::filesystem::recursive_directory_iterator(dir_, ec))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  // The file-system path of a name written in UTF-8 (the sources' own
  // encoding): UTF-8 bytes on Linux, the same characters in UTF-16 on Windows.
  static std::filesystem::path U8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  }
  static std::string Utf8Of(const std::filesystem::path& p) {
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
  }
  // The program's path of a name inside the directory: the name is taken as
  // the program's own bytes (GBK; ASCII names are the same either way).
  std::string Path(std::string_view name) const {
    return dir_.string() + static_cast<char>(std::filesystem::path::preferred_separator) + std::string(name);
  }
  void Put(std::string_view utf8Name, std::string_view bytes) const {
    std::ofstream(dir_ / U8(utf8Name), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  static std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Get(std::string_view utf8Name) const { return Slurp(dir_ / U8(utf8Name)); }
  bool Exists(std::string_view utf8Name) const { return std::filesystem::exists(dir_ / U8(utf8Name)); }

  std::filesystem::path dir_;
};

}  // namespace tl::testing
