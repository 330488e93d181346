// Helpers of the configuration store tests: a scratch directory, GBK from
// UTF-8 sources, and a check that the file on disk matches the store.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "files/fixture.h"
#include "settings/settings_store.h"

namespace tl::testing {

inline std::string G(std::string_view utf8) { return Gbk(utf8); }

class StoreTest : public TempDirTest {
 protected:
  // The settings file of the test ("Tidyline.ini" in the scratch directory).
  std::string Ini() const { return Path("Tidyline.ini"); }
  std::string Disk() const { return ReadAll(Ini()); }
  // Whole-file read that stays quick on very large files in debug builds.
  static std::string ReadAll(const std::string& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
      char chunk[1 << 16];
      std::size_t n;
      while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
      std::fclose(f);
    }
    return out;
  }
  void ExpectDiskMatches(const settings::SettingsStore& s) const {
    EXPECT_EQ(Disk(), s.Content()) << "the file on disk differs from the store's buffer";
  }
};

}  // namespace tl::testing
