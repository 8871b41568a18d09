// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The classic readers: whole files, frame counts and frames from pipes, with
// a message for every failure, over the shared frame core.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "rgb/buffers.h"
#include "rgb/frames.h"
#include "rgb/header.h"
#include "rgb/messages.h"
#include "rgb/rgb.h"

namespace {

constexpr std::size_t kCountBlock = 64 * 1024;

// Buffers sized from the first frame, time vector first, then the image,
// each only when the caller did not bring its own.
bool allocateBuffers(const rgb::Shape& shape, int frames, unsigned char** images, int** times) {
  if (!*times) {
    *times = static_cast<int*>(rgb::allocate(static_cast<std::size_t>(frames) * sizeof(int)));
    if (!*times) {
      rgb::say(stderr, "no memory for time vector.\n");
      return false;
    }
  }
  std::size_t bytes = 0;
  const bool representable = rgb::imageBytes(frames, shape.width, shape.height, &bytes);
  if (!representable || !*images) {
    if (representable) *images = rgb::allocateImage(bytes);
    if (!representable || !*images) {
      rgb::say(stderr, "no memory for RGB image(s).\n");
      return false;
    }
  }
  return true;
}

void reportPixelReadFailure(int status, int n) {
  if (status == RGB_ENOMEM)
    rgb::say(stderr, "no memory for scanline.\n");
  else if (status == RGB_ETRUNCATED)
    rgb::say(stderr, "eof during reading RGB image no %d.\n", n);
  else
    rgb::say(stderr, "error during reading RGB image no %d.\n", n);
}

// Bytes of a regular file from `start` to its end, from its size; false
// for anything else (a pipe cannot tell its length).
bool regularFileBytes(FILE* stream, off_t start, uint64_t* bytes) {
  struct stat status {};
  if (start < 0 || fstat(fileno(stream), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size < start + static_cast<off_t>(rgb::kHeaderSize))
    return false;
  *bytes = static_cast<uint64_t>(status.st_size - start);
  return true;
}

uint64_t readToEnd(FILE* stream) {
  uint64_t total = 0;
  unsigned char block[kCountBlock];
  for (std::size_t got; (got = fread_unlocked(block, 1, sizeof block, stream)) > 0;) total += got;
  return total;
}

}  // namespace

extern "C" {

int readRGBTimeStream(FILE* stream, unsigned char** images, int* width, int* height, int frames,
                      int** times) {
  if (frames <= 0) return frames;
  if (!stream) {
    rgb::reportNullStream();
    return 0;
  }
  const rgb::StreamLock lock(stream);
  rgb::Scratch scratch;
  rgb::Shape first;
  int flags = 0;
  for (int n = 0; n < frames; ++n) {
    RGBHeader header;
    if (!readRGBHeader(stream, &header)) {
      rgb::say(stdout, "error reading header of frame no %d.\n", n);
      return 0;
    }
    const rgb::Shape shape = rgb::shapeOf(header);
    // The buffers are sized from the first frame; a frame of another size
    // would not fit them.
    if (n > 0 && shape != first) {
      rgb::say(stderr, "ERROR: frame no %d is %dx%dx%d, unlike the %dx%dx%d of frame no 0.\n", n,
               shape.width, shape.height, shape.planes, first.width, first.height, first.planes);
      rgb::say(stdout, "error reading header of frame no %d.\n", n);
      return 0;
    }
    *width = shape.width;
    *height = shape.height;
    if (n == 0) {
      first = shape;
      // Memory the reader allocates is fresh: its pages are provided as
      // they are filled.
      if (!*images) flags = RGB_FRESH_BUFFER;
      if (!allocateBuffers(shape, frames, images, times)) return 0;
    }
    (*times)[n] = header.TIMESTAMP;
    unsigned char* frame =
        *images + rgb::rowOffset(static_cast<std::size_t>(n), 0, static_cast<std::size_t>(shape.width),
                                 static_cast<std::size_t>(shape.height));
    const int status = rgb::readPixels(stream, shape, flags, scratch, frame);
    if (status != RGB_OK) {
      reportPixelReadFailure(status, n);
      return 0;
    }
  }
  return frames;
}

int readRGBTimePipe(FILE* stream, unsigned char** images, int* width, int* height, int** times) {
  return readRGBTimeStream(stream, images, width, height, 1, times);
}

int readRGBPipe(FILE* stream, unsigned char** images, int* width, int* height) {
  int* times = nullptr;
  const int result = readRGBTimePipe(stream, images, width, height, &times);
  std::free(times);
  return result;
}

int getRGBNoOfFrames(FILE* stream) {
  if (!stream) {
    rgb::reportNullStream();
    return 0;
  }
  const rgb::StreamLock lock(stream);
  const off_t start = ftello(stream);
  RGBHeader header;
  if (!readRGBHeader(stream, &header)) return 0;
  // 64 bits: streams of several GiB are common for long recordings. A
  // regular file is counted from its size, anything else by reading it.
  uint64_t total = 0;
  if (!regularFileBytes(stream, start, &total)) total = rgb::kHeaderSize + readToEnd(stream);
  const uint64_t frameBytes = rgb::shapeOf(header).streamFrameBytes();
  const uint64_t frames = total / frameBytes;
  const uint64_t stray = total % frameBytes;
  if (stray != 0)
    rgb::say(stdout, "warning: %llu bytes found after last frame.\n",
             static_cast<unsigned long long>(stray));
  // A stream that cannot be rewound (a pipe) cannot be read after counting.
  if (std::fseek(stream, 0, SEEK_SET) != 0) {
    rgb::say(stderr, "ERROR: cannot rewind the RGB image stream after counting its frames.\n");
    return 0;
  }
  // The count is an int: a larger one would be a wrong count, never a
  // smaller right one.
  if (frames > static_cast<uint64_t>(INT_MAX)) {
    rgb::say(stderr, "ERROR: RGB image stream holds %llu frames, more than can be counted (%d at most).\n",
             static_cast<unsigned long long>(frames), INT_MAX);
    return 0;
  }
  return static_cast<int>(frames);
}

int readRGBTimeFile(const char* path, unsigned char** images, int* width, int* height,
                    int** times) {
  rgb::OwnedFile file(path, "rb");
  if (!file.get()) {
    rgb::say(stderr, "unable to open RGB image file %s for reading.\n", path);
    return 0;
  }
  const int frames = getRGBNoOfFrames(file.get());
  if (frames == 0) return 0;
  return readRGBTimeStream(file.get(), images, width, height, frames, times);
}

int readRGBFile(const char* path, unsigned char** images, int* width, int* height) {
  int* times = nullptr;
  const int result = readRGBTimeFile(path, images, width, height, &times);
  std::free(times);
  return result;
}

FILE* openRGBReadPipe(const char* path) {
  FILE* stream = std::fopen(path, "rb");
  if (!stream) rgb::say(stderr, "unable to open RGB images pipe %s for reading.\n", path);
  return stream;
}

}  // extern "C"
