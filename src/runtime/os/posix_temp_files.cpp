// Temporary files on POSIX (runtime/os/temp_files.h).
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "runtime/os/temp_files.h"
#include "runtime/os/temp_names.h"

namespace tl::os {
namespace {

namespace fio = rt::fileio;

// Registered names (the file system's own spelling), read by the signal
// handler: only atomic pointer loads and unlink() happen there.
constexpr std::size_t kSlots = 4096;
std::array<std::atomic<char*>, kSlots> g_slots{};
std::atomic<std::size_t> g_registered{0};
std::mutex g_mutex;  // registration and the swept-folder set
std::set<std::string, std::less<>> g_swept;

void Register(const std::string& programPath) {
  const std::string os = fio::ToOsName(programPath);
  char* copy = strdup(os.c_str());
  if (!copy) return;
  for (auto& slot : g_slots) {
    char* expected = nullptr;
    if (slot.compare_exchange_strong(expected, copy)) {
      ++g_registered;
      return;
    }
  }
  std::free(copy);  // more files than slots: this one is left to the sweep
}

void Unregister(const std::string& programPath) {
  const std::string os = fio::ToOsName(programPath);
  for (auto& slot : g_slots) {
    char* p = slot.load();
    if (p && os == p && slot.compare_exchange_strong(p, nullptr)) {
      std::free(p);
      --g_registered;
      return;
    }
  }
}

extern "C" void OnInterrupt(int sig) {
  for (auto& slot : g_slots)
    if (char* p = slot.load()) ::unlink(p);
  ::_exit(128 + sig);
}

}  // namespace

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ProcessGone(unsigned long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

bool RemoveStaleTempFile(const std::string& path) {
  // Nobody may hold it open either: a writer keeps exclusive sharing.
  const fio::Handle h = fio::Open(path, fio::Access::kWrite, fio::Disposition::kOpenExisting, fio::Share::kNone);
  if (h == fio::kNoHandle) return false;
  fio::Close(h);
  return fio::RemoveFile(path);
}

std::optional<TempFile> CreateTempFile(std::string_view dir) {
  const std::string folder = TempFolder(dir);
  {
    std::lock_guard lock(g_mutex);
    if (g_swept.insert(folder).second) SweepStaleTempFiles(folder);
  }
  static std::atomic<std::uint32_t> counter{0};
  const std::string stem = TempStem(folder, CurrentProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    TempFile f;
    f.path = stem + std::to_string(++counter) + std::string(kTempSuffix);
    // Registered before it exists, so no interrupt can leave it behind.
    {
      std::lock_guard lock(g_mutex);
      Register(f.path);
    }
    f.handle = fio::Open(f.path, fio::Access::kReadWrite, fio::Disposition::kCreateNew, fio::Share::kNone);
    if (f.handle != fio::kNoHandle) return f;
    const int error = errno;
    {
      std::lock_guard lock(g_mutex);
      Unregister(f.path);
    }
    if (error != EEXIST) {
      errno = error;  // for the caller's message
      break;
    }
  }
  return std::nullopt;
}

bool CommitTempFile(TempFile& file, std::string_view target) {
  if (file.handle != fio::kNoHandle) fio::Close(file.handle);
  file.handle = fio::kNoHandle;
  // A file replaced in place keeps its permissions.
  struct stat st {};
  if (::stat(fio::ToOsName(target).c_str(), &st) == 0 && S_ISREG(st.st_mode))
    ::chmod(fio::ToOsName(file.path).c_str(), st.st_mode & 07777);
  const bool ok = fio::Rename(file.path, target);
  if (!ok) fio::RemoveFile(file.path);
  std::lock_guard lock(g_mutex);
  Unregister(file.path);
  return ok;
}

void DiscardTempFile(TempFile& file) {
  if (file.path.empty()) return;
  if (file.handle != fio::kNoHandle) fio::Close(file.handle);
  file.handle = fio::kNoHandle;
  fio::RemoveFile(file.path);
  std::lock_guard lock(g_mutex);
  Unregister(file.path);
  file.path.clear();
}

void InstallInterruptCleanup() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  // Both signals run the handler one at a time.
  // A closed pipe (`| head`) and a closed terminal end the process as
  // silently as before, without leaving files behind.
  const int signals[] = {SIGINT, SIGTERM, SIGPIPE, SIGHUP};
  for (int sig : signals) sigaddset(&sa.sa_mask, sig);
  for (int sig : signals) {
    struct sigaction old {};
    // A signal ignored by whoever started us stays ignored.
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &sa, nullptr);
  }
}

std::size_t RegisteredTempFiles() { return g_registered.load(); }

}  // namespace tl::os
