// The per-OS half of reading standard input whole (runtime/os/stdio.h):
// the shared reader asks each OS how large a first block to take.
#pragma once
#include <cstddef>
#include <optional>

namespace tl::os {

// Puts standard input into binary mode where the OS has another, and returns
// how many bytes a regular file on standard input still holds from where it
// stands; nullopt for a pipe, a terminal or when that cannot be told.
std::optional<std::size_t> PrepareStdinForReading();

}  // namespace tl::os
