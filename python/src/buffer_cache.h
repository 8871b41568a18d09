// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Memory of released arrays, kept for the next arrays of about that size.
//
// A loop over frames, or a dask worker reading chunk after chunk, asks for
// the same size again and again. Memory the allocator takes fresh from the
// kernel each time costs a page fault per page, and in a virtual machine a
// fault of the host too; dask's worker processes make the C library hand
// every freed block back to the kernel (MALLOC_TRIM_THRESHOLD_), so there
// every frame would be fresh. Reusing a released block costs nothing.
#ifndef RGBSTREAM_BUFFER_CACHE_H
#define RGBSTREAM_BUFFER_CACHE_H

#include <cstddef>
#include <mutex>
#include <vector>

namespace rgbstream {

// A block from mmap (mapped) or malloc.
struct Memory {
  void* address = nullptr;
  std::size_t bytes = 0;
  bool mapped = false;
};

void freeMemory(const Memory& memory);

class BufferCache {
 public:
  // The process's cache, shared by every array.
  static BufferCache& instance();
  // A kept block of at least `bytes` and not much more, or one with a null
  // address.
  Memory take(std::size_t bytes);
  // Keeps a released block for a later take, or frees it.
  void give(const Memory& memory);

 private:
  std::mutex mutex_;
  std::vector<Memory> kept_;
  std::size_t keptBytes_ = 0;
};

}  // namespace rgbstream

#endif  // RGBSTREAM_BUFFER_CACHE_H
