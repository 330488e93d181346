// tidyline-cli: the record engine for scripts and very large files.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/input.h"
#include "cli/terminal_text.h"
#include "runtime/random.h"
#include "text/process_text.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void Complain(const std::string& message) {
  std::fprintf(stderr, "tidyline-cli: %s\n", message.c_str());
}

int RunTextMode(tl::text::FixedOptions& options) {
  tl::cli::InputBytes input;
  if (!input.ReadStdin()) {
    Complain("cannot read standard input");
    return kExitFailure;
  }
  tl::text::Bytes result = tl::text::ProcessBytes(input.view(), options);
  if (!tl::cli::WriteStdout(result.view())) {
    Complain("cannot write standard output");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  tl::cli::InitTerminalEncoding();

  CLI::App app{
      "Removes repeated records and shuffles records.\n"
      "Reads standard input as GBK/GB18030 text and writes the result to standard output.\n"
      "Records are cut at line breaks (CR LF; LF for text without any CR LF) unless\n"
      "--separator is given. Without -d and -s, repeated records are removed.",
      "tidyline-cli"};
  app.set_version_flag("--version", "tidyline-cli 1.2.0.0");

  bool dedupe = false;
  bool shuffle = false;
  std::string separator;
  std::int64_t seed = 0;
  std::vector<std::string> inputs;
  app.add_flag("-d,--dedupe", dedupe, "Remove repeated records (the last occurrence of each is kept)");
  app.add_flag("-s,--shuffle", shuffle, "Put the records into random order (after -d when both are given)");
  auto* sep_opt = app.add_option("--separator", separator,
                                 "Cut records at TEXT, taken literally (may be empty)")
                      ->type_name("TEXT");
  auto* seed_opt = app.add_option("--seed", seed, "Fix the tick count the shuffle seeds from, for a repeatable order")
                       ->type_name("N");
  app.add_option("input", inputs, "'-' for standard input (the default)")->type_name("-");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    Complain(e.what());
    std::fprintf(stderr, "Try 'tidyline-cli --help' for more information.\n");
    return kExitUsage;
  }

  for (const auto& in : inputs) {
    if (in != "-") {
      Complain("unexpected argument '" + in + "' (only '-', standard input, is read)");
      return kExitUsage;
    }
  }

  tl::text::FixedOptions options;
  options.dedupe = dedupe || !shuffle;
  options.shuffle = shuffle;
  if (*sep_opt) {
    if (!tl::cli::FromTerminal(separator, options.separator)) {
      Complain("the separator is not valid text in the terminal's encoding");
      return kExitUsage;
    }
    options.lineBreakMode = false;
  }
  if (*seed_opt) tl::rt::SetTickCountOverride(static_cast<std::uint32_t>(seed));

  return RunTextMode(options);
}
