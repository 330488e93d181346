// The runtime heap: every text, byte-set and array a command returns is a
// block from here and belongs to the caller. Blocks inside a registered
// constant region are never freed.
#pragma once
#include <cstddef>

namespace tl::rt {

// Fatal on failure (runtime error dialog "分配 %d 字节内存失败!").
void* Allocate(std::size_t size);
// Null and constant-region pointers are ignored.
void Release(const void* block);
// Null behaves as Allocate; a constant-region block is copied out to a fresh
// heap block of the new size (copying at most up to the region's end).
void* Reallocate(void* block, std::size_t size);

void RegisterConstantRegion(const void* start, std::size_t size);
bool InConstantRegion(const void* p);

// Registers the program's own GBK constant texts; idempotent.
void RegisterProgramConstants();

}  // namespace tl::rt
