#pragma once
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace tl::text { struct ProcessOptions { virtual ~ProcessOptions(); virtual std::string Separator() = 0; virtual bool Dedupe() = 0; virtual bool Shuffle() = 0; virtual int EncodingChoice() = 0; }; rt::Text ProcessText(std::string_view text, ProcessOptions& options); }
