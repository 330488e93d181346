#include "text/process_text.h"

#include <cstring>
#include <optional>

#include "text/dedupe.h"
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
  if (options.Dedupe()) {
    // Fewer than two records: the text stays as it is, so avoid a copy.
    if (auto changed = DedupeIfChanged(view(), EffectiveSeparator(options, view()))) current = std::move(changed);
  }
  if (options.Shuffle()) current = ShuffleBytes(view(), EffectiveSeparator(options, view()));
  return current ? std::move(*current) : Bytes(text);
}

rt::Text ProcessText(std::string_view text, ProcessOptions& options) {
  return ProcessBytes(text, options).TakeText();
}

}  // namespace tl::text
