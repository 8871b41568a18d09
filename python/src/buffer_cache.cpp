// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "buffer_cache.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

namespace rgbstream {
namespace {

// Small blocks are cheap to allocate; a few large ones cover a loop, a
// chunk per worker thread and its neighbour; the bound caps what an idle
// process keeps.
constexpr std::size_t kSmallest = std::size_t{64} << 10;
constexpr std::size_t kMostBlocks = 8;
constexpr std::size_t kMostBytes = std::size_t{512} << 20;

}  // namespace

void freeMemory(const Memory& memory) {
  if (memory.mapped) munmap(memory.address, memory.bytes);
  else std::free(memory.address);
}

BufferCache& BufferCache::instance() {
  // Never destroyed: arrays may be released while the interpreter shuts
  // down, after static destructors.
  static auto* cache = new BufferCache;
  return *cache;
}

Memory BufferCache::take(std::size_t bytes) {
  const std::lock_guard<std::mutex> lock(mutex_);
  // The smallest block that fits, if it wastes at most half of what is asked.
  auto best = kept_.end();
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->bytes >= bytes && it->bytes - bytes <= bytes / 2 &&
        (best == kept_.end() || it->bytes < best->bytes))
      best = it;
  }
  if (best == kept_.end()) return {};
  const Memory found = *best;
  kept_.erase(best);
  keptBytes_ -= found.bytes;
  return found;
}

void BufferCache::give(const Memory& memory) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (memory.bytes >= kSmallest && memory.bytes <= kMostBytes) {
      // The oldest blocks make room for the newest, which the next arrays
      // are most likely to match.
      while (!kept_.empty() &&
             (kept_.size() >= kMostBlocks || keptBytes_ + memory.bytes > kMostBytes)) {
        freeMemory(kept_.front());
        keptBytes_ -= kept_.front().bytes;
        kept_.erase(kept_.begin());
      }
      kept_.push_back(memory);
      keptBytes_ += memory.bytes;
      return;
    }
  }
  freeMemory(memory);
}

}  // namespace rgbstream
