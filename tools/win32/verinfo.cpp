// verinfo PROGRAM...: prints the version block of each program as Windows
// reads it (GetFileVersionInfoA, VerQueryValueA), one "name=value" line
// each, the texts in the ANSI code page: the fixed part, the translations,
// then every string of every translation. The end-to-end checks compare the
// lines with what the program should carry; this reader shares no code with
// the build that wrote the block.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <vector>

namespace {

const char* const kStringNames[] = {"CompanyName",      "FileDescription", "FileVersion",    "InternalName",
                                    "LegalCopyright",   "OriginalFilename", "ProductName",   "ProductVersion",
                                    "Comments",         "LegalTrademarks", "PrivateBuild",   "SpecialBuild"};

void PrintVersion(const char* name, DWORD ms, DWORD ls) {
  std::printf("%s=%lu.%lu.%lu.%lu\n", name, static_cast<unsigned long>(HIWORD(ms)),
              static_cast<unsigned long>(LOWORD(ms)), static_cast<unsigned long>(HIWORD(ls)),
              static_cast<unsigned long>(LOWORD(ls)));
}

int Dump(const char* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) {
    std::fprintf(stderr, "verinfo: %s: no version block (error %lu)\n", path,
                 static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) {
    std::fprintf(stderr, "verinfo: %s: GetFileVersionInfoA failed (error %lu)\n", path,
                 static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::printf("file=%s\n", path);
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(block.data(), "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("signature=%08lx\n", static_cast<unsigned long>(fixed->dwSignature));
    PrintVersion("FILEVERSION", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    PrintVersion("PRODUCTVERSION", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    std::printf("FILETYPE=%lu\n", static_cast<unsigned long>(fixed->dwFileType));
    std::printf("FILEOS=%08lx\n", static_cast<unsigned long>(fixed->dwFileOS));
  } else {
    std::printf("fixed=missing\n");
  }
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    std::printf("translation=missing\n");
    return 0;
  }
  const auto* words = static_cast<const WORD*>(value);
  for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
    char table[16];
    std::snprintf(table, sizeof table, "%04x%04x", words[i], words[i + 1]);
    std::printf("translation=%s\n", table);
    for (const char* name : kStringNames) {
      char query[64];
      std::snprintf(query, sizeof query, "\\StringFileInfo\\%s\\%s", table, name);
      char* text = nullptr;
      UINT chars = 0;
      if (VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&text), &chars) && text != nullptr) {
        std::printf("%s\\%s=%s\n", table, name, text);
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The texts are GBK bytes: no newline translation on the way out.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) {
    std::fprintf(stderr, "usage: verinfo PROGRAM...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) status |= Dump(argv[i]);
  return status;
}
