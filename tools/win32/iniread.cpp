// iniread FILE SECTION: prints every key of SECTION in FILE with its value,
// one "key=value" line each in file order, as GetPrivateProfileStringA reads
// them (the reader Windows programs use), so the settings file the program
// wrote is checked by a reader that is not its own. Exit status 1 when the
// section has no keys.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// GetPrivateProfileStringA truncates silently: grow until the answer leaves
// room (it returns size - 2 for a truncated key list, size - 1 for a value).
std::vector<char> Read(const char* file, const char* section, const char* key) {
  std::vector<char> buffer(256);
  for (;;) {
    DWORD n = GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(buffer.size()), file);
    if (n + 2 < buffer.size()) {
      buffer.resize(n + 1);
      return buffer;
    }
    buffer.resize(buffer.size() * 4);
  }
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc != 3) {
    std::fprintf(stderr, "usage: iniread FILE SECTION\n");
    return 2;
  }
  // With no key, the answer is the section's keys, each ended by NUL.
  std::vector<char> keys = Read(argv[1], argv[2], nullptr);
  int count = 0;
  for (const char* key = keys.data(); *key != '\0'; key += std::strlen(key) + 1) {
    std::vector<char> value = Read(argv[1], argv[2], key);
    std::printf("%s=%s\n", key, value.data());
    ++count;
  }
  return count > 0 ? 0 : 1;
}
