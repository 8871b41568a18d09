// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Helpers shared by the fuzz targets and by their replay program: turning
// fuzz input into stdio streams, owning what the readers hand back, peeking
// at headers the way a careful caller would, and failing loudly.
#ifndef RGB_FUZZ_SUPPORT_H
#define RGB_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "rgb/rgb.h"

namespace rgbfuzz {

// Stops the process with a message when an invariant of the library is
// broken; the abort makes the fuzzer keep the input as a crash.
[[noreturn]] void fail(const char* what, const char* file, int line);
#define RGBFUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::rgbfuzz::fail(#condition, __FILE__, __LINE__))

// Byte-by-byte comparisons run with no coverage callbacks: a callback per
// byte compared made the checks cost more than the library calls they check,
// and the edges of a comparison loop tell the fuzzer nothing about the input.
#if defined(__clang__)
#define RGBFUZZ_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define RGBFUZZ_NO_COVERAGE
#endif

// Bytes of a frame header; the header fields a caller needs to size buffers.
constexpr std::size_t kHeaderBytes = 512;
struct Peek {
  bool complete = false;  // 512 bytes were there
  bool valid = false;     // the library would accept it
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t planes = 0;
  int32_t stamp = 0;
  // Bytes of the whole frame in the stream.
  uint64_t frameBytes() const;
  // A frame with no pixels still costs the readers a pass per row and plane;
  // true when `frames` such frames would take more rows than any frame with
  // pixels can in a fuzz input, so the targets read them only up to there.
  bool tooManyEmptyRows(int frames) const;
};
Peek peekHeader(const uint8_t* data, std::size_t size);

// Interleaved bytes of `frames` frames of the peeked size; false when the
// caller-sized buffer would be larger than `limit`.
bool imageBytes(const Peek& peek, int frames, std::size_t limit, std::size_t* bytes);

// A read-only stdio stream over fuzz input: fmemopen for data, /dev/null for
// empty input (fmemopen refuses a zero size). Closed by the destructor.
class InputStream {
 public:
  InputStream(const uint8_t* data, std::size_t size);
  ~InputStream();
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;
  FILE* get() const { return stream_; }

 private:
  FILE* stream_;
};

// Fuzz input as a real file path (an anonymous memory file seen through
// /proc/self/fd), for the readers that open a path themselves.
class InputFile {
 public:
  InputFile(const uint8_t* data, std::size_t size);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  const char* path() const { return path_.c_str(); }

 private:
  int fd_;
  std::string path_;
};

// How many leading frames of `frames` a reader must deliver from this
// input: frames whose headers are accepted, whose size equals the first
// frame's and whose pixel data is all there. The reader succeeds exactly
// when the result equals `frames`.
int completeFrames(const uint8_t* data, std::size_t size, int frames);

// Checks frames [0, count) of an interleaved buffer (and their stamps when
// times is not null) against the planar frames at the start of data.
void checkFrames(const uint8_t* data, const unsigned char* images, const int* times, int count);

// Reads the input frame by frame with the handle reader, each frame looked
// at first (rgb_reader_peek) and then read into a buffer the reader grows
// (rgb_reader_next_grow), alternately interleaved and planar, until the
// first frame that cannot be read; checks every result against the
// independent decode. The reader must be at the start of the input; a
// seekable one reads a frame whose header failed again, from its start.
void checkGrowingReader(const uint8_t* data, std::size_t size, rgb_reader* reader, bool seekable);

// Whether all `bytes` bytes at `p` are `value`.
bool allBytesAre(const unsigned char* p, std::size_t bytes, unsigned char value);

// The pointer variables a caller hands to the readers, freed on scope exit.
struct Buffers {
  unsigned char* images = nullptr;
  int* times = nullptr;
  Buffers() = default;
  ~Buffers();
  Buffers(const Buffers&) = delete;
  Buffers& operator=(const Buffers&) = delete;
  void release();
};

}  // namespace rgbfuzz

#endif  // RGB_FUZZ_SUPPORT_H
