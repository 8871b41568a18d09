// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A smaller machine for the fuzz targets: memory requests above a ceiling
// fail the way malloc fails when memory runs out (null, ENOMEM). Linked only
// into the libFuzzer build, with -Wl,--wrap for each allocation function, so
// it covers the calls of the library and of the targets but not the
// sanitizer's or libFuzzer's own.
//
// Why: a header may declare a frame of up to 12 GiB with no pixels behind
// it. The readers allocate for it first and find the data missing only
// afterwards; under AddressSanitizer every buffer above 128 KiB is a fresh
// mapping whose shadow is written on allocation and again on release, about
// 0.15 ms per MiB, so such inputs (and the 1 MiB stdio buffer the file
// readers ask for) made most of an execution's time. Above the ceiling the
// library takes its refusal path instead, which costs nothing. Fuzz inputs
// are at most a few KiB (scripts/fuzz sets -max_len), so every frame that
// is really in an input, with all the buffers reading or writing it takes,
// stays far below the ceiling, and each target's checks hold either way.
// The replay tests run without the ceiling.
#include <cerrno>
#include <cstddef>

namespace {

constexpr std::size_t kCeiling = std::size_t{128} << 10;

bool aboveCeiling(std::size_t bytes) {
  if (bytes <= kCeiling) return false;
  errno = ENOMEM;
  return true;
}

}  // namespace

extern "C" {

void* __real_malloc(std::size_t bytes);
void* __real_calloc(std::size_t count, std::size_t bytes);
void* __real_realloc(void* old, std::size_t bytes);
void* __real_aligned_alloc(std::size_t alignment, std::size_t bytes);
int __real_posix_memalign(void** out, std::size_t alignment, std::size_t bytes);

void* __wrap_malloc(std::size_t bytes) {
  return aboveCeiling(bytes) ? nullptr : __real_malloc(bytes);
}

void* __wrap_calloc(std::size_t count, std::size_t bytes) {
  std::size_t total = 0;
  if (__builtin_mul_overflow(count, bytes, &total) || aboveCeiling(total)) return nullptr;
  return __real_calloc(count, bytes);
}

void* __wrap_realloc(void* old, std::size_t bytes) {
  return aboveCeiling(bytes) ? nullptr : __real_realloc(old, bytes);
}

void* __wrap_aligned_alloc(std::size_t alignment, std::size_t bytes) {
  return aboveCeiling(bytes) ? nullptr : __real_aligned_alloc(alignment, bytes);
}

int __wrap_posix_memalign(void** out, std::size_t alignment, std::size_t bytes) {
  return bytes > kCeiling ? ENOMEM : __real_posix_memalign(out, alignment, bytes);
}

}  // extern "C"
