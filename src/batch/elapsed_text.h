// How long a batch took, in the largest unit that keeps the number below
// that unit's limit, and the summary line shown after a batch.
#pragma once
#include <cstdint>

#include "runtime/core/value.h"

namespace tl::batch {

// Milliseconds as "<number> <unit>": 毫秒 below 1000, then 秒 (/1000) below
// 60, 分 (/60) below 60, 时 (/60) below 24, 天 (/24) below 30, 月 (/30) below
// 12, else 年 (/12). A value within 1e-7 under a limit counts as reaching it.
// The number is rounded half away from zero to two decimals and written like
// "%.13g". A negative count stays in milliseconds.
rt::Text ElapsedText(std::int64_t milliseconds);

// "总 <total> 个文件，成功处理 <processed> 个文件，耗时 <ElapsedText>".
rt::Text BatchSummary(std::int64_t total, std::int64_t processed, std::int64_t milliseconds);

}  // namespace tl::batch
