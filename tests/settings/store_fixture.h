// Helpers of the configuration store tests: a scratch directory, GBK from
// UTF-8 sources, and a check that the file on disk matches the store.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include "runtime/os/posix_registry_store.h"
#endif

#include "files/fixture.h"
#include "settings/settings_store.h"
#include "support/run_program.h"

namespace tl::testing {

inline std::string G(std::string_view utf8) { return Gbk(utf8); }

// Where the store's registry mode writes: on Linux a folder of the test's
// own (the file-backed store); on Windows the real registry, whose keys of
// the maker's name are removed before and after.
inline void UseTestRegistry(const std::string& folder) {
#ifdef _WIN32
  (void)folder;
  RegDeleteTreeA(HKEY_CLASSES_ROOT, G("Lumora软件").c_str());
#else
  rt::SetRegistryDirectory(folder);
#endif
}
inline void EndTestRegistry() {
#ifdef _WIN32
  RegDeleteTreeA(HKEY_CLASSES_ROOT, G("Lumora软件").c_str());
#else
  rt::SetRegistryDirectory("");
#endif
}

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
