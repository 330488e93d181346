// Temporary files on Windows (runtime/os/temp_files.h). A file open without
// delete sharing cannot be removed, so the interrupt handler closes each
// registered handle before it deletes the file; the process ends right after.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "runtime/os/temp_files.h"
#include "runtime/os/temp_names.h"

namespace tl::os {
namespace {

namespace fio = rt::fileio;

// Registered names with their handles, read by the console handler (which
// runs on a thread of its own): only atomic loads, CloseHandle and
// DeleteFileA happen there.
struct Slot {
  std::atomic<char*> name{nullptr};
  std::atomic<fio::Handle> handle{fio::kNoHandle};
};
constexpr std::size_t kSlots = 4096;
std::array<Slot, kSlots> g_slots;
std::atomic<std::size_t> g_registered{0};
std::mutex g_mutex;  // registration and the swept-folder set
std::set<std::string, std::less<>> g_swept;

Slot* Register(const std::string& path) {
  char* copy = _strdup(path.c_str());
  if (!copy) return nullptr;
  for (auto& slot : g_slots) {
    char* expected = nullptr;
    if (slot.name.compare_exchange_strong(expected, copy)) {
      ++g_registered;
      return &slot;
    }
  }
  std::free(copy);  // more files than slots: this one is left to the sweep
  return nullptr;
}

void Unregister(const std::string& path) {
  for (auto& slot : g_slots) {
    char* p = slot.name.load();
    if (p && path == p) {
      slot.handle.store(fio::kNoHandle);
      if (slot.name.compare_exchange_strong(p, nullptr)) {
        std::free(p);
        --g_registered;
      }
      return;
    }
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  for (auto& slot : g_slots) {
    if (char* p = slot.name.load()) {
      const fio::Handle h = slot.handle.exchange(fio::kNoHandle);
      if (h != fio::kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(h));
      DeleteFileA(p);
    }
  }
  // Ctrl+C and Ctrl+Break as SIGINT (130); closing the console or ending the
  // session as SIGTERM (143).
  ExitProcess(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 143);
  return TRUE;
}

}  // namespace

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool ProcessGone(unsigned long pid) {
  HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!p) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  const bool exited = WaitForSingleObject(p, 0) == WAIT_OBJECT_0;
  CloseHandle(p);
  return exited;
}

// A file still held open by anyone cannot be deleted, so a live writer
// under a reused process id keeps its file.
bool RemoveStaleTempFile(const std::string& path) { return fio::RemoveFile(path); }

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
    Slot* slot = nullptr;
    {
      std::lock_guard lock(g_mutex);
      slot = Register(f.path);
    }
    f.handle = fio::Open(f.path, fio::Access::kReadWrite, fio::Disposition::kCreateNew, fio::Share::kNone);
    if (f.handle != fio::kNoHandle) {
      if (slot) slot->handle.store(f.handle);
      return f;
    }
    const DWORD error = GetLastError();
    {
      std::lock_guard lock(g_mutex);
      Unregister(f.path);
    }
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return std::nullopt;
}

bool CommitTempFile(TempFile& file, std::string_view target) {
  {
    std::lock_guard lock(g_mutex);
    Unregister(file.path);  // the handler must not close a handle closed here
  }
  if (file.handle != fio::kNoHandle) fio::Close(file.handle);
  file.handle = fio::kNoHandle;
  const bool ok = fio::Rename(file.path, target);
  if (!ok) fio::RemoveFile(file.path);
  return ok;
}

void DiscardTempFile(TempFile& file) {
  if (file.path.empty()) return;
  {
    std::lock_guard lock(g_mutex);
    Unregister(file.path);
  }
  if (file.handle != fio::kNoHandle) fio::Close(file.handle);
  file.handle = fio::kNoHandle;
  fio::RemoveFile(file.path);
  file.path.clear();
}

void InstallInterruptCleanup() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

std::size_t RegisteredTempFiles() { return g_registered.load(); }

}  // namespace tl::os
