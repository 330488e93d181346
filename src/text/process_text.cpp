#include "text/process_text.h"

#include <cstring>
#include <optional>

#include "text/dedupe.h"
#include "text/records.h"
#include "text/shuffle.h"

namespace tl::text {

ProcessOptions::~ProcessOptions() = default;

namespace {
bool IsUnixStyle(std::string_view text) {
  const char* lf = static_cast<const char*>(std::memchr(text.data(), '\n', text.size()));
  if (!lf) return false;
  return text.find("\r\n") == std::string_view::npos;
}
}  // namespace

std::string EffectiveSeparator(ProcessOptions& options, std::string_view text) {
  std::string sep = options.Separator();
  if (options.LineBreakMode() && sep == "\r\n" && IsUnixStyle(text)) return "\n";
  return sep;
}

namespace {
// The steps before the shuffle: de-duplication when chosen (nothing when it
// leaves the text as it is), with its counts. `shuffle` is called with the
// text and separator to shuffle when a shuffle is chosen; a shuffle alone
// counts its records when asked.
template <typename ShuffleFn>
std::optional<Bytes> RunSteps(std::string_view text, ProcessOptions& options, ShuffleFn&& shuffle) {
  std::optional<Bytes> current;
  auto view = [&] { return current ? current->view() : text; };
  DedupeCounts counts;
  bool counted = false;
  if (options.Dedupe()) {
    // Fewer than two records: the text stays as it is, so avoid a copy.
    if (auto changed = DedupeIfChanged(view(), EffectiveSeparator(options, view()), options.KeepFirst(), &counts))
      current = std::move(changed);
    counted = true;
  }
  if (options.Shuffle()) {
    std::string separator = EffectiveSeparator(options, view());
    if (!counted && options.countRecords) {
      // The shuffle cuts at CR LF when the separator is empty.
      const std::uint64_t n = RecordIndex(view(), separator.empty() ? "\r\n" : separator).size();
      counts = {n, n};
    }
    shuffle(view(), separator, current);
  }
  options.recordsIn += counts.in;
  options.recordsOut += counts.out;
  return current;
}
}  // namespace

Bytes ProcessBytes(std::string_view text, ProcessOptions& options) {
  std::optional<Bytes> current =
      RunSteps(text, options, [](std::string_view in, std::string_view separator, std::optional<Bytes>& result) {
        result = ShuffleBytes(in, separator);
      });
  return current ? std::move(*current) : Bytes(text);
}

bool ProcessBytesInto(std::string_view text, ProcessOptions& options, const ByteSink& sink) {
  bool shuffled = false, ok = true;
  std::optional<Bytes> current =
      RunSteps(text, options, [&](std::string_view in, std::string_view separator, std::optional<Bytes>&) {
        shuffled = true;
        ok = ShuffleInto(in, separator, sink);
      });
  if (shuffled) return ok;
  return sink(current ? current->view() : text);
}

rt::Text ProcessText(std::string_view text, ProcessOptions& options) {
  return ProcessBytes(text, options).TakeText();
}

}  // namespace tl::text
