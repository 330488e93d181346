// Helpers of the configuration store tests: a scratch directory, GBK from
// UTF-8 sources, and a check that the file on disk matches the store.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "files/fixture.h"
#include "settings/settings_store.h"
#include "support/run_program.h"

namespace tl::testing {

inline std::string G(std::string_view utf8) { return Gbk(utf8); }

class StoreTest : public TempDirTest {
 protected:
  // The settings file of the test ("Tidyline.ini" in the scratch directory).
  std::string Ini() const { return Path("Tidyline.ini"); }
  std::string Disk() const { return tl::test::ReadWholeFile(Ini()); }
  void ExpectDiskMatches(const settings::SettingsStore& s) const {
    EXPECT_EQ(Disk(), s.Content()) << "the file on disk differs from the store's buffer";
  }
};

}  // namespace tl::testing
