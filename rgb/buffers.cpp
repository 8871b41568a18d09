// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/buffers.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <atomic>
#include <limits>

namespace rgb {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below this, huge pages save too little to be worth the rounding.
constexpr std::size_t kHugeThreshold = std::size_t{16} << 20;
std::atomic<bool> hugePages{false};

bool multiply(std::size_t a, std::size_t b, std::size_t* out) {
  return !__builtin_mul_overflow(a, b, out);
}

}  // namespace

uint64_t streamFrameBytes(uint64_t width, uint64_t height, uint64_t planes) {
  return width * height * planes + kHeaderSize;
}

bool imageBytes(int64_t frames, int64_t width, int64_t height, std::size_t* bytes) {
  if (frames < 0 || width < 0 || height < 0) return false;
  std::size_t size = kChannels;
  return multiply(size, static_cast<std::size_t>(frames), &size) &&
         multiply(size, static_cast<std::size_t>(width), &size) &&
         multiply(size, static_cast<std::size_t>(height), &size) && (*bytes = size, true);
}

void* allocate(std::size_t bytes) { return std::malloc(std::max<std::size_t>(bytes, 1)); }

void useHugePages(bool on) { hugePages.store(on, std::memory_order_relaxed); }

void providePages(void* memory, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto start = (reinterpret_cast<std::uintptr_t>(memory) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes) / page * page;
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
  (void)memory;
  (void)bytes;
#endif
}

unsigned char* allocateImage(std::size_t bytes) {
  void* memory = nullptr;
  if (bytes < kHugeThreshold) return static_cast<unsigned char*>(allocate(bytes));
  if (!hugePages.load(std::memory_order_relaxed)) {
    memory = allocate(bytes);
  } else {
    if (bytes > std::numeric_limits<std::size_t>::max() - kHugePage) return nullptr;
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    memory = std::aligned_alloc(kHugePage, rounded);
    // Only a hint: without huge pages the buffer works the same.
    if (memory) madvise(memory, rounded, MADV_HUGEPAGE);
  }
  return static_cast<unsigned char*>(memory);
}

OwnedFile::OwnedFile(const char* path, const char* mode) : file_(std::fopen(path, mode)) {}

OwnedFile::OwnedFile(int fd, const char* mode) : file_(fdopen(fd, mode)) {
  if (!file_) ::close(fd);
}

OwnedFile::~OwnedFile() { close(); }

bool OwnedFile::close() {
  if (!file_) return true;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return closed;
}

}  // namespace rgb
