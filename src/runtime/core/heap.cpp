#include "runtime/core/heap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "gbk_texts.h"
#include "runtime/core/errors.h"
#include "runtime/os/memory.h"

namespace tl::rt {
namespace {

// A short list: Release scans it linearly, which is cheap for a few entries.
std::vector<std::pair<const char*, const char*>>& Regions() {
  static std::vector<std::pair<const char*, const char*>> regions;
  return regions;
}

const std::pair<const char*, const char*>* RegionOf(const void* p) {
  auto* c = static_cast<const char*>(p);
  for (auto& r : Regions())
    if (c >= r.first && c < r.second) return &r;
  return nullptr;
}

}  // namespace

void* Allocate(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) FatalAllocation(size);
  os::AdviseLargeBlock(p, size);
  return p;
}

void Release(const void* block) {
  if (!block || RegionOf(block)) return;
  std::free(const_cast<void*>(block));
}

void* Reallocate(void* block, std::size_t size) {
  if (!block) return Allocate(size);
  if (auto* r = RegionOf(block)) {
    void* fresh = Allocate(size);
    std::size_t avail = static_cast<std::size_t>(r->second - static_cast<const char*>(block));
    std::memcpy(fresh, block, avail < size ? avail : size);
    return fresh;
  }
  void* p = std::realloc(block, size ? size : 1);
  if (!p) FatalAllocation(size);
  os::AdviseLargeBlock(p, size);
  return p;
}

void RegisterConstantRegion(const void* start, std::size_t size) {
  auto* s = static_cast<const char*>(start);
  for (auto& r : Regions())
    if (r.first == s) return;
  Regions().emplace_back(s, s + size);
}

bool InConstantRegion(const void* p) { return RegionOf(p) != nullptr; }

void RegisterProgramConstants() { RegisterConstantRegion(gbk::kRegion, gbk::kRegionSize); }

}  // namespace tl::rt
