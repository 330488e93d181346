// The settings store on any file: a sequence of getters and setters from the
// fuzz input, then the file on disk must equal the store's buffer, and a
// store that loads the written file again must read every touched key alike.
// Input: operation count, operations (code, section, key, value), then the
// file's bytes.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "support/temp_dir.h"
#include "settings/settings_store.h"

namespace {

const std::string& ScratchIni() {
  static const std::string path = [] {
    const std::filesystem::path dir = tl::test::MakeTempDir("tidyline-fuzz-");
    if (dir.empty()) tl::fuzz::Fail("settings_store", "no scratch directory");
    return (dir / "Tidyline.ini").string();
  }();
  return path;
}

std::string Disk() {
  std::ifstream f(ScratchIni(), std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

int Quiet(std::string_view, int, std::string_view) { return 1; }

}  // namespace

TIDYLINE_FUZZ_TARGET(settings_store) {
  using tl::settings::SettingsStore;
  tl::fuzz::Input in(data, size);
  static const char* const kSections[] = {"Tidyline", "Window", "S", "", "[S]", "\xB4\xB0\xBF\xDA"};
  static const char* const kKeys[] = {"Separator", "A", "B", "Encoding", "", "A=B", "\xB7\xD6\xB8\xF4"};
  struct Op {
    std::uint8_t code;
    std::string section, key, value;
    double number;
  };
  std::vector<Op> ops;
  for (std::uint8_t n = in.Byte() % 24; n > 0; --n) {
    Op op;
    op.code = in.Byte();
    std::uint8_t s = in.Byte(), k = in.Byte();
    op.section = s < 200 ? kSections[s % 6] : std::string(in.Piece(8));
    op.key = k < 200 ? kKeys[k % 7] : std::string(in.Piece(8));
    op.value = std::string(in.Piece(24));
    op.number = static_cast<double>(static_cast<std::int32_t>(in.U32())) / 8;
    ops.push_back(std::move(op));
  }
  std::string_view file = in.Rest();
  {
    std::ofstream f(ScratchIni(), std::ios::binary | std::ios::trunc);
    f.write(file.data(), static_cast<std::streamsize>(file.size()));
  }
  tl::settings::SetSettingsMessageHook(Quiet);

  std::set<std::pair<std::string, std::string>> touched;
  std::vector<std::string> reads;
  {
    SettingsStore store;
    if (!store.Open(ScratchIni(), 0)) tl::fuzz::Fail("settings_store", "the file did not open");
    if (store.Content() != file) tl::fuzz::Fail("settings_store", "the loaded buffer is not the file");
    for (const Op& op : ops) {
      store.SelectSection(op.section);
      touched.insert({op.section, op.key});
      switch (op.code % 8) {
        case 0: store.SetTextValue(op.key, op.value); break;
        case 1: store.GetTextValue(op.key, op.value); break;
        case 2: store.SetNumberValue(op.key, op.number); break;
        case 3: store.GetNumberValue(op.key, op.number); break;
        case 4: store.SetFlagValue(op.key, op.number > 0); break;
        case 5: store.GetFlagValue(op.key, op.number > 0); break;
        case 6: store.SetTimeValue(op.key, op.number); break;
        case 7: store.GetTimeValue(op.key, op.number); break;
      }
      if (Disk() != store.Content()) tl::fuzz::Fail("settings_store", "the file on disk differs from the buffer");
    }
    for (const auto& [section, key] : touched) {
      store.SelectSection(section);
      reads.emplace_back(store.GetTextValue(key, "\x01missing").view());
    }
    store.Close();
  }
  SettingsStore again;
  if (!again.Open(ScratchIni(), 0)) tl::fuzz::Fail("settings_store", "the written file did not open again");
  if (again.Content() != Disk()) tl::fuzz::Fail("settings_store", "the re-loaded buffer is not the file");
  std::size_t i = 0;
  for (const auto& [section, key] : touched) {
    again.SelectSection(section);
    if (again.GetTextValue(key, "\x01missing").view() != reads[i++])
      tl::fuzz::Fail("settings_store", "a re-load reads a key differently", section + "/" + key);
  }
  again.Close();
  return 0;
}
