#include "text/shuffle.h"

#include "runtime/message_pump.h"
#include "runtime/random.h"
#include "text/random_pool.h"
#include "text/records.h"

namespace tl::text {

Bytes ShuffleBytes(std::string_view text, std::string_view separator) {
  rt::SeedRandom();
  if (separator.empty()) separator = "\r\n";
  RecordIndex records(text, separator);
  const std::size_t n = records.size();
  if (n == 0) return Bytes();

  std::size_t total = (n - 1) * separator.size();
  for (std::size_t i = 0; i < n; ++i) total += records[i].size();

  // The whole output is returned, whatever bytes the records hold.
  Bytes out(total);
  UniqueRandomPool pool;
  rt::YieldClock clock;
  const auto high = static_cast<std::int32_t>(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::int32_t k = pool.Draw(1, high);
    out.Append(records[static_cast<std::size_t>(k) - 1]);
    if (i + 1 < n) out.Append(separator);
    clock.Step();
  }
  out.Finish();
  return out;
}

rt::Text ShuffleRecords(std::string_view text, std::string_view separator) {
  return ShuffleBytes(text, separator).TakeText();
}

}  // namespace tl::text
