// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <limits>

// Streams may declare frames of many GiB before any pixel arrives. A failed
// allocation is a documented result ("no memory for ..."), not a crash, so
// the sanitizer allocator returns null instead of aborting. It also refuses
// buffers above 24 MiB (libFuzzer itself needs 20 MiB at start): fuzz inputs
// are a few KiB, so no complete frame needs more, while the sanitizer spends
// milliseconds on the shadow of every large buffer declared by a header with
// no data behind it, which would slow the fuzzer tenfold. (The libFuzzer
// build refuses far smaller requests still: see allocation_ceiling.cpp.)
// Freed memory waits in a quarantine of 16 MiB rather than 256 MiB before
// reuse: one execution frees a few KiB to a few hundred KiB, so a use after
// free is still caught many thousand executions later, and reused memory is
// still in the cache, which made the targets about half again as fast.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=24:quarantine_size_mb=16";
}

namespace rgbfuzz {
namespace {

constexpr uint16_t kMagic = 474;

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

int32_t be32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 |
                              static_cast<uint32_t>(p[1]) << 16 |
                              static_cast<uint32_t>(p[2]) << 8 | p[3]);
}

}  // namespace

void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

uint64_t Peek::frameBytes() const {
  return uint64_t{width} * height * planes + kHeaderBytes;
}

bool Peek::tooManyEmptyRows(int frames) const {
  // About the rows of a frame with pixels in an input of -max_len bytes.
  constexpr uint64_t kRowLimit = 4096;
  return width == 0 && uint64_t{height} * planes * static_cast<uint64_t>(frames) > kRowLimit;
}

Peek peekHeader(const uint8_t* data, std::size_t size) {
  Peek peek;
  if (size < kHeaderBytes) return peek;
  peek.complete = true;
  peek.width = be16(data + 6);
  peek.height = be16(data + 8);
  peek.planes = be16(data + 10);
  peek.stamp = be32(data + 108);
  peek.valid = be16(data) == kMagic && data[2] == 0 && data[3] == 1 && be16(data + 4) == 3 &&
               (peek.planes == 3 || peek.planes == 4);
  return peek;
}

bool imageBytes(const Peek& peek, int frames, std::size_t limit, std::size_t* bytes) {
  if (frames <= 0) return false;
  const uint64_t total = uint64_t{peek.width} * peek.height * 3 * static_cast<uint64_t>(frames);
  if (total > limit) return false;
  *bytes = static_cast<std::size_t>(total);
  return true;
}

int completeFrames(const uint8_t* data, std::size_t size, int frames) {
  const Peek first = peekHeader(data, size);
  uint64_t offset = 0;
  for (int n = 0; n < frames; ++n) {
    const Peek peek = peekHeader(data + offset, size - offset);
    if (!peek.valid || peek.width != first.width || peek.height != first.height ||
        peek.planes != first.planes || size - offset < peek.frameBytes())
      return n;
    offset += peek.frameBytes();
  }
  return frames;
}

namespace {

RGBFUZZ_NO_COVERAGE bool sameFrame(const uint8_t* planar, const unsigned char* interleaved,
                                   std::size_t plane) {
  for (std::size_t c = 0; c < 3; ++c)
    for (std::size_t p = 0; p < plane; ++p)
      if (interleaved[3 * p + c] != planar[c * plane + p]) return false;
  return true;
}

}  // namespace

void checkFrames(const uint8_t* data, const unsigned char* images, const int* times, int count) {
  const Peek first = peekHeader(data, kHeaderBytes);
  const std::size_t width = first.width;
  const std::size_t height = first.height;
  const std::size_t plane = width * height;
  for (std::size_t n = 0; n < static_cast<std::size_t>(count); ++n) {
    const uint8_t* frame = data + n * first.frameBytes();
    if (times) RGBFUZZ_CHECK(times[n] == peekHeader(frame, kHeaderBytes).stamp);
    RGBFUZZ_CHECK(sameFrame(frame + kHeaderBytes, images + n * plane * 3, plane));
  }
}

namespace {

// The status the readers give for the frame at `at`, which is not one of
// the complete frames: the end, a damaged header, a size change, or pixels
// cut short (RGB_OK here: the header itself reads).
int headerStatus(const uint8_t* at, std::size_t left, const Peek& first, bool isFirst) {
  if (left == 0) return RGB_END;
  const Peek peek = peekHeader(at, left);
  if (!peek.complete) return RGB_ESHORTHEADER;
  if (!peek.valid) return RGB_EMAGIC;  // one of the header statuses; see the caller
  if (!isFirst && (peek.width != first.width || peek.height != first.height || peek.planes != first.planes))
    return RGB_ESIZECHANGE;
  return RGB_OK;
}

bool isHeaderRejection(int status) {
  return status == RGB_EMAGIC || status == RGB_ESTORAGE || status == RGB_EBPC ||
         status == RGB_EDIMENSION || status == RGB_EPLANES;
}

}  // namespace

void checkGrowingReader(const uint8_t* data, std::size_t size, rgb_reader* reader, bool seekable) {
  const Peek first = peekHeader(data, size);
  const int complete = completeFrames(data, size, static_cast<int>(size / kHeaderBytes) + 1);
  if (first.tooManyEmptyRows(complete + 1)) return;
  unsigned char* pixels = nullptr;
  std::size_t capacity = 0;
  for (int n = 0; n <= complete; ++n) {
    const std::size_t offset = static_cast<std::size_t>(n) * (first.valid ? first.frameBytes() : 0);
    const uint8_t* at = data + offset;
    const Peek frame = peekHeader(at, size - offset);
    const int flags = n % 2 == 0 ? 0 : RGB_PLANAR;
    rgb_frame_info next{};
    next.index = -1;
    const int peeked = rgb_reader_peek(reader, &next);
    RGBFUZZ_CHECK(next.index == n);
    rgb_frame_info info{};
    info.index = -1;
    unsigned char* const before = pixels;
    const std::size_t capacityBefore = capacity;
    const int status = rgb_reader_next_grow(reader, &pixels, &capacity, flags, &info);
    RGBFUZZ_CHECK(info.index == n);
    if (n < complete) {
      RGBFUZZ_CHECK(peeked == RGB_OK && status == RGB_OK);
      RGBFUZZ_CHECK(next.width == frame.width && next.height == frame.height &&
                    next.planes == frame.planes && next.stamp == frame.stamp);
      const std::size_t plane = std::size_t{frame.width} * frame.height;
      if (flags & RGB_PLANAR) {
        RGBFUZZ_CHECK(capacity >= plane * frame.planes);
        RGBFUZZ_CHECK(plane == 0 || std::memcmp(pixels, at + kHeaderBytes, plane * frame.planes) == 0);
      } else {
        RGBFUZZ_CHECK(capacity >= plane * 3);
        if (plane > 0) checkFrames(at, pixels, nullptr, 1);
      }
      continue;
    }
    // A stream that cannot seek has lost the header a failed look read;
    // a file is read again from the frame's start.
    const int expected = headerStatus(at, size - offset, first, n == 0);
    if (expected == RGB_EMAGIC) {
      RGBFUZZ_CHECK(isHeaderRejection(peeked) && (!seekable || status == peeked));
    } else if (expected != RGB_OK) {
      RGBFUZZ_CHECK(peeked == expected && (!seekable || expected == RGB_END || status == expected));
    } else {
      // The pixels are cut short. A buffer that had to grow is left alone;
      // the fuzz build's allocation ceiling may refuse the gathering first.
      RGBFUZZ_CHECK(peeked == RGB_OK);
      RGBFUZZ_CHECK(status == RGB_ETRUNCATED || status == RGB_ENOMEM);
      const std::size_t need = std::size_t{frame.width} * frame.height * ((flags & RGB_PLANAR) ? frame.planes : 3);
      if (need > capacityBefore) RGBFUZZ_CHECK(pixels == before && capacity == capacityBefore);
    }
  }
  std::free(pixels);
}

RGBFUZZ_NO_COVERAGE bool allBytesAre(const unsigned char* p, std::size_t bytes,
                                     unsigned char value) {
  if (bytes == 0) return true;
  // Each byte equals the first, and the first is the value.
  return p[0] == value && std::memcmp(p, p + 1, bytes - 1) == 0;
}

InputStream::InputStream(const uint8_t* data, std::size_t size)
    : stream_(size == 0 ? std::fopen("/dev/null", "rb")
                        : fmemopen(const_cast<uint8_t*>(data), size, "rb")) {
  RGBFUZZ_CHECK(stream_ != nullptr);
}

InputStream::~InputStream() { std::fclose(stream_); }

InputFile::InputFile(const uint8_t* data, std::size_t size) : fd_(memfd_create("rgbfuzz", 0)) {
  RGBFUZZ_CHECK(fd_ >= 0);
  for (std::size_t done = 0; done < size;) {
    const ssize_t put = write(fd_, data + done, size - done);
    RGBFUZZ_CHECK(put > 0);
    done += static_cast<std::size_t>(put);
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

InputFile::~InputFile() { close(fd_); }

Buffers::~Buffers() { release(); }

void Buffers::release() {
  std::free(images);
  std::free(times);
  images = nullptr;
  times = nullptr;
}

}  // namespace rgbfuzz
