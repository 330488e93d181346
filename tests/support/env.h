// Test helper: setting and restoring environment variables on every OS
// (setenv/unsetenv are POSIX only). On Windows both the C runtime's copy
// (getenv) and the process's own (GetEnvironmentVariableA) change.
#pragma once
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace tl::test {

inline void SetEnv(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  // _putenv_s with an empty value removes the variable.
  _putenv_s(name.c_str(), value ? value->c_str() : "");
  SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

inline std::optional<std::string> GetEnv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? std::optional<std::string>(v) : std::nullopt;
}

// Sets a variable for the life of the object, then puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)), old_(GetEnv(name_)) {
    SetEnv(name_, value);
  }
  ~ScopedEnv() { SetEnv(name_, old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace tl::test
