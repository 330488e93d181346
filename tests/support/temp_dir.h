// Test helper: a new empty folder under the system's temporary folder, on
// every OS (mkdtemp is POSIX only).
#pragma once
#include <filesystem>
#include <random>
#include <string>

namespace tl::test {

// Empty path when none can be made; the caller removes the folder.
inline std::filesystem::path MakeTempDir(const std::string& prefix = "tidyline-run-") {
  std::random_device seed;
  std::error_code ec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path(ec) / (prefix + std::to_string(seed()));
    if (std::filesystem::create_directory(candidate, ec)) return candidate;
  }
  return {};
}

}  // namespace tl::test
