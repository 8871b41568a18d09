// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frame and buffer sizes, in one place, and the memory and file handles the
// library uses internally.
#ifndef RGB_BUFFERS_H
#define RGB_BUFFERS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace rgb {

constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kChannels = 3;  // interleaved red, green, blue
constexpr int kMaxSide = 65535;       // XSIZE and YSIZE are 16-bit

// Bytes one frame occupies in a stream. Cannot overflow: at most
// 65535 * 65535 * 65535 + 512 < 2^49.
uint64_t streamFrameBytes(uint64_t width, uint64_t height, uint64_t planes);

// Bytes of an interleaved buffer of `frames` frames; false when the size
// does not fit in size_t (or frames, width or height is negative).
bool imageBytes(int64_t frames, int64_t width, int64_t height, std::size_t* bytes);

// Offset of row `row` of frame `frame` in an interleaved buffer whose total
// size imageBytes has already accepted, so it cannot overflow.
inline std::size_t rowOffset(std::size_t frame, std::size_t row, std::size_t width,
                             std::size_t height) {
  return (frame * height + row) * width * kChannels;
}

// Memory for an image buffer handed to the caller, who releases it with
// free. Never returns null for a zero size. With huge pages on, large
// buffers are 2 MiB-aligned and advised for transparent huge pages.
unsigned char* allocateImage(std::size_t bytes);
// Asks the kernel for the pages of fresh memory about to be written, in one
// call instead of one page fault per 4 KiB page, which costs more than the
// zeroing itself. Only a hint: a kernel without the call (before Linux
// 5.14) leaves the pages to the faults.
void providePages(void* memory, std::size_t bytes);
// Huge pages for image buffers: off by default (see the README's
// performance notes); the benchmark measures both.
void useHugePages(bool on);
// malloc that never returns null for a zero size.
void* allocate(std::size_t bytes);

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

// Holds a stream's lock for one library call, so that the unlocked stdio
// calls inside stay safe when other threads share the stream.
class StreamLock {
 public:
  explicit StreamLock(FILE* stream) : stream_(stream) { flockfile(stream_); }
  ~StreamLock() { funlockfile(stream_); }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

 private:
  FILE* stream_;
};

// A stream the library opened itself, closed when it goes out of scope.
class OwnedFile {
 public:
  OwnedFile(const char* path, const char* mode);
  // Takes over an open descriptor (closed here when it cannot become a
  // stream).
  OwnedFile(int fd, const char* mode);
  ~OwnedFile();
  OwnedFile(const OwnedFile&) = delete;
  OwnedFile& operator=(const OwnedFile&) = delete;
  FILE* get() const { return file_; }
  // Closes now; false when the close (and its final flush) failed.
  bool close();

 private:
  FILE* file_ = nullptr;
};

}  // namespace rgb

#endif  // RGB_BUFFERS_H
