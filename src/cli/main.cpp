// tidyline-cli: the record engine for scripts, very large files and batches.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <string>

#include "cli/batch_mode.h"
#include "cli/stdin_mode.h"
#include "cli/terminal_text.h"
#include "runtime/os/memory.h"
#include "runtime/os/temp_files.h"
#include "runtime/core/random.h"
#include "text/encoding_detect.h"
#include "text/process_text.h"

namespace {

constexpr int kExitUsage = 2;

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tidyline-cli: %s\nTry 'tidyline-cli --help' for more information.\n", message.c_str());
  return kExitUsage;
}

// The shuffle seeds from a 32-bit tick count; a value it cannot hold is
// refused rather than wrapped. Decimal digits only (leading zeros allowed).
bool ParseSeed(const std::string& text, std::uint32_t& seed) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value > std::numeric_limits<std::uint32_t>::max())
    return false;
  seed = static_cast<std::uint32_t>(value);
  return true;
}

// "64M", "512K", "2G", "1048576": bytes, with an optional binary suffix.
bool ParseSize(const std::string& text, std::uint64_t& bytes) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return false;
  std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
  if (unit == "B") unit = "";
  int shift = 0;
  if (unit == "K" || unit == "k" || unit == "KiB") shift = 10;
  else if (unit == "M" || unit == "m" || unit == "MiB") shift = 20;
  else if (unit == "G" || unit == "g" || unit == "GiB") shift = 30;
  else if (unit == "T" || unit == "t" || unit == "TiB") shift = 40;
  else if (!unit.empty()) return false;
  if (value == 0 || value > (UINT64_MAX >> shift)) return false;
  bytes = value << shift;
  return true;
}

void PrintStats(const tl::text::FixedOptions& options, std::chrono::steady_clock::time_point start) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "tidyline-cli: %llu records in, %llu out, %llu duplicates removed, %.2f s\n",
               static_cast<unsigned long long>(options.recordsIn), static_cast<unsigned long long>(options.recordsOut),
               static_cast<unsigned long long>(options.recordsIn - options.recordsOut), seconds);
}

}  // namespace

int main(int argc, char** argv) {
  // A file's read buffer becomes its result's instead of fresh zeroed pages.
  tl::os::KeepLargeFreedBlocks();
  tl::cli::InitTerminalEncoding();
  // Ctrl-C and kill remove the temporary files before the process ends.
  tl::os::InstallInterruptCleanup();
  const auto start = std::chrono::steady_clock::now();

  CLI::App app{
      "Removes repeated records and shuffles records, of standard input or of files.\n"
      "Without -d and -s, repeated records are removed. Records are cut at line breaks\n"
      "(CR LF; LF for text without any CR LF) unless --separator is given.\n"
      "\n"
      "  tidyline-cli [OPTIONS] [-]             standard input to standard output\n"
      "  tidyline-cli [OPTIONS] FILE...         each file into \"保存目录\" beside the first\n"
      "  tidyline-cli [OPTIONS] --folder DIR    the files of DIR that --filter accepts\n"
      "\n"
      "Input larger than --memory is processed through temporary files in --temp-dir.\n"
      "Examples:\n"
      "  tidyline-cli < names.txt > unique.txt          keep the last of each line\n"
      "  tidyline-cli -d -o list.txt list.txt           de-duplicate a file in place\n"
      "  tidyline-cli --keep first --stats < log.txt    keep first occurrences, print counts\n"
      "  tidyline-cli -s --seed 7 --memory 256M < huge.txt > mixed.txt\n"
      "  tidyline-cli -d *.txt                          results in ./保存目录/\n"
      "See tidyline-cli(1).",
      "tidyline-cli"};
  app.set_version_flag("--version", "tidyline-cli 1.2.0.0");

  bool dedupe = false;
  bool shuffle = false;
  std::string separator;
  std::string seed;
  std::string encoding = "auto";
  std::string folder;
  std::string filter;
  bool byObject = false;
  bool listOnly = false;
  std::vector<std::string> inputs;
  std::string keep = "last";
  std::string output;
  std::string memory;
  std::string tempDir;
  bool stats = false;
  bool quiet = false;
  app.add_flag("-d,--dedupe", dedupe, "Remove repeated records (the last occurrence of each is kept)");
  app.add_flag("-s,--shuffle", shuffle, "Put the records into random order (after -d when both are given)");
  auto* sepOpt = app.add_option("--separator", separator, "Cut records at TEXT, taken literally (may be empty)")
                     ->type_name("TEXT");
  auto* seedOpt = app.add_option("--seed", seed,
                                 "Fix the tick count the shuffle seeds from (0 to 4294967295), for a repeatable order")
                      ->type_name("N");
  const std::map<std::string, int> encodings = {
      {"auto", tl::text::kEncodingAuto},       {"ansi", tl::text::kEncodingAnsi},
      {"utf-8", tl::text::kEncodingUtf8},      {"unicode", tl::text::kEncodingUtf16Le},
      {"unicode-be", tl::text::kEncodingUtf16Be}, {"big5", tl::text::kEncodingBig5}};
  app.add_option("--encoding", encoding,
                 "Encoding of the input: auto (detect), ansi (GBK), utf-8, unicode (UTF-16LE), "
                 "unicode-be (UTF-16BE) or big5; results are written in the same encoding")
      ->check(CLI::IsMember(encodings))
      ->type_name("NAME");
  auto* folderOpt = app.add_option("--folder", folder, "Process the files of DIR")->type_name("DIR");
  app.add_option("--filter", filter, "With --folder: file-name patterns, \"|\"-separated (default *.*)")
      ->type_name("PATTERN")
      ->needs(folderOpt);
  app.add_flag("--by-object", byObject, "With --folder: list through the file-system object")->needs(folderOpt);
  app.add_flag("--list", listOnly, "With --folder: print the paths a batch would take, and stop")->needs(folderOpt);
  app.add_option("--keep", keep, "Which occurrence of a repeated record -d keeps: first or last (default)")
      ->check(CLI::IsMember({"first", "last"}))
      ->type_name("first|last");
  auto* outputOpt =
      app.add_option("-o,--output", output,
                     "Write the result of standard input or of a single FILE to OUT, replaced only when complete "
                     "(OUT may be the input itself)")
          ->type_name("OUT");
  auto* memoryOpt = app.add_option("--memory", memory,
                                   "Memory budget (e.g. 64M, 2G; default half the available memory); larger input "
                                   "is processed through temporary files")
                        ->type_name("SIZE");
  app.add_option("--temp-dir", tempDir, "Folder for temporary files (default: TMPDIR, else /tmp)")->type_name("DIR");
  app.add_flag("--stats", stats, "Print records in, records out, duplicates removed and the time on standard error");
  app.add_flag("-q,--quiet", quiet, "No progress and no batch status lines (errors are still printed)");
  app.add_option("inputs", inputs, "Files to process, or '-' for standard input (the default)")->type_name("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return UsageError(e.what());
  }

  tl::text::FixedOptions options;
  options.dedupe = dedupe || !shuffle;
  options.shuffle = shuffle;
  options.encoding = encodings.at(encoding);
  options.keepFirst = keep == "first";
  options.countRecords = stats;
  if (*sepOpt) {
    if (!tl::cli::FromTerminal(separator, options.separator))
      return UsageError("the separator is not valid text in the terminal's encoding");
    options.lineBreakMode = false;
  }
  if (*seedOpt) {
    std::uint32_t tick = 0;
    if (!ParseSeed(seed, tick)) return UsageError("--seed: '" + seed + "' is not a whole number from 0 to 4294967295");
    tl::rt::SetTickCountOverride(tick);
  }

  // Names arrive in the terminal's encoding; the program works in GBK.
  auto programText = [](const std::string& s, std::string& out) { return tl::cli::FromTerminal(s, out); };

  tl::cli::StreamRequest stream;
  stream.memory = tl::os::AvailableMemory() / 2;
  if (stream.memory == 0) stream.memory = std::uint64_t{1} << 30;
  if (*memoryOpt && !ParseSize(memory, stream.memory))
    return UsageError("--memory: '" + memory + "' is not a size such as 65536, 512K, 64M or 2G");
  if (tempDir.empty()) {
    const char* env = std::getenv("TMPDIR");
    tempDir = env && *env ? env : "/tmp";
  }
  if (!programText(tempDir, stream.tempDir) || (*outputOpt && !programText(output, stream.output)))
    return UsageError("a file name is not valid text in the terminal's encoding");
  if (*outputOpt && output.empty()) return UsageError("--output needs a file name");
  if (*seedOpt) stream.seed = tl::rt::TickCount();
  stream.quiet = quiet;
  auto finish = [&](int code) {
    if (stats) PrintStats(options, start);
    return code;
  };

  if (*folderOpt) {
    if (*outputOpt) return UsageError("--output takes standard input or a single FILE, not --folder");
    if (!inputs.empty()) return UsageError("--folder takes no FILE arguments");
    // An unset shell variable must not turn into the file-system root.
    if (folder.empty()) return UsageError("--folder needs a folder name");
    tl::cli::FolderRequest request;
    request.byObject = byObject;
    request.listOnly = listOnly;
    request.quiet = quiet;
    request.stream = stream;
    if (!programText(folder, request.folder) || !programText(filter, request.filter))
      return UsageError("the folder or filter is not valid text in the terminal's encoding");
    return finish(tl::cli::RunFolderMode(request, options));
  }

  bool stdinOnly = inputs.empty() || (inputs.size() == 1 && inputs[0] == "-");
  if (stdinOnly) return finish(tl::cli::RunStreamMode(stream, options));

  std::vector<std::string> files;
  for (const auto& in : inputs) {
    if (in == "-") return UsageError("'-' (standard input) cannot be mixed with FILE arguments");
    std::string path;
    if (!programText(in, path)) return UsageError("a file name is not valid text in the terminal's encoding");
    files.push_back(std::move(path));
  }
  if (*outputOpt) {
    if (files.size() != 1) return UsageError("--output takes standard input or a single FILE");
    stream.input = files[0];
    return finish(tl::cli::RunStreamMode(stream, options));
  }
  return finish(tl::cli::RunBatchMode(files, options, stream));
}
