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

Bytes ProcessBytes(std::string_view text, ProcessOptions& options) {
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
    current = ShuffleBytes(view(), separator);
  }
  options.recordsIn += counts.in;
  options.recordsOut += counts.out;
  return current ? std::move(*current) : Bytes(text);
}

rt::Text ProcessText(std::string_view text, ProcessOptions& options) {
  return ProcessBytes(text, options).TakeText();
}

}  // namespace tl::text
