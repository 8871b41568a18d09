// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The classic writers: frames to a stream, to a pipe or appended to a file,
// with a message for every failure, over the shared frame core.
#include <stdio_ext.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "rgb/append.h"
#include "rgb/buffers.h"
#include "rgb/continuation.h"
#include "rgb/frames.h"
#include "rgb/header.h"
#include "rgb/messages.h"
#include "rgb/planes_ahead.h"
#include "rgb/rgb.h"
#include "rgb/size_limit.h"

namespace {

void reportPixelWriteFailure(FILE* stream, int n) {
  rgb::say(stderr,
           std::feof(stream) ? "eof during writing RGB image no. %d.\n"
                             : "error during writing RGB image no. %d.\n",
           n);
}

void reportLostWrite(int frames) {
  rgb::say(stderr, "error during writing RGB image no. %d.\n", frames > 0 ? frames - 1 : 0);
}

// A side the 16-bit XSIZE and YSIZE hold.
bool storableSide(int side) { return side >= 0 && side <= rgb::kMaxSide; }

// The classic refusal of an append that would not continue the stream in
// the file, in one line naming the file and why; true when it continues.
bool continuesStream(const char* path, rgb::LockedAppend& append, const rgb::Shape& frames) {
  const rgb::Continuation found = rgb::continueStream(append, frames, false);
  switch (found.status) {
    case RGB_OK: return true;
    case RGB_ESIZECHANGE:
      rgb::say(stderr, "ERROR: cannot append to RGB image file %s: its frames are %dx%dx%d, the new ones %dx%dx%d.\n",
               path, found.file.width, found.file.height, found.file.planes, frames.width,
               frames.height, frames.planes);
      return false;
    case RGB_ETRUNCATED:
      rgb::say(stderr,
               "ERROR: cannot append to RGB image file %s: it ends inside a frame (%llu bytes after the last whole frame).\n",
               path, static_cast<unsigned long long>(found.stray));
      return false;
    case RGB_EIO:
      rgb::say(stderr, "ERROR: cannot append to RGB image file %s: %s.\n", path, std::strerror(errno));
      return false;
    default:
      rgb::say(stderr,
               "ERROR: cannot append to RGB image file %s: it does not begin with a valid frame header (%s).\n",
               path, rgb_strerror(found.status));
      return false;
  }
}

// Frames that would pass the file-size limit are refused before the first
// byte, with the message a write that failed at the first of them gives.
bool withinSizeLimit(const rgb::LockedAppend& append, uint64_t frameBytes, int frames) {
  const uint64_t room = rgb::roomBelowSizeLimit(append.start());
  uint64_t bytes = 0;
  if (!__builtin_mul_overflow(frameBytes, static_cast<uint64_t>(frames), &bytes) && bytes <= room)
    return true;
  const uint64_t fitting = std::min(room / frameBytes, static_cast<uint64_t>(frames) - 1);
  rgb::say(stderr, "error during writing RGB image no. %d.\n", static_cast<int>(fitting));
  return false;
}

// The file writers append to path under the append lock, to the file the
// path names once the lock is held, and only what continues the stream
// there. A failed append is undone, and a close that fails (the final
// flush did not reach the disk) turns a success into a failure.
int writeFrames(const char* path, const unsigned char* images, int width, int height,
                int frames, const int* times) {
  int fd = rgb::openForAppend(path);
  rgb::LockedAppend append;
  const int locked = fd < 0 ? RGB_EOPEN : append.lock(&fd, path);
  if (locked != RGB_OK) {
    if (locked == RGB_EOPEN)
      rgb::say(stderr, "unable to open RGB image file %s for writing.\n", path);
    else
      rgb::say(stderr, "ERROR: cannot append to RGB image file %s: %s.\n", path, std::strerror(errno));
    if (fd >= 0) close(fd);
    return 0;
  }
  rgb::OwnedFile file(fd, "ab");
  if (!file.get()) {
    rgb::say(stderr, "unable to open RGB image file %s for writing.\n", path);
    return 0;
  }
  // What cannot be written at all is refused by the stream writer, with
  // its own messages; only frames that can be are judged here.
  const rgb::Shape shape{width, height, static_cast<int>(rgb::kChannels)};
  const bool writable = frames > 0 && images && times && storableSide(width) && storableSide(height);
  if (writable && (!continuesStream(path, append, shape) ||
                   !withinSizeLimit(append, shape.streamFrameBytes(), frames)))
    return 0;
  // Within the limit, so it cannot overflow.
  const uint64_t most = writable ? static_cast<uint64_t>(frames) * shape.streamFrameBytes() : 0;
  const rgb::HeldSizeLimitSignal held;
  int result = writeRGBTimeStream(file.get(), images, width, height, frames, times);
  // What a failed write left in the stream's buffer must not reach the file
  // after it was cut back.
  if (result == 0) __fpurge(file.get());
  if (!file.close() && result != 0) {
    reportLostWrite(frames);
    result = 0;
  }
  if (result == 0) append.undo(most);
  return result;
}

}  // namespace

extern "C" {

int writeRGBTimeStream(FILE* stream, const unsigned char* images, int width, int height,
                       int frames, const int* times) {
  if (!stream) {
    rgb::reportNullStream();
    return 0;
  }
  if (!times) {
    rgb::say(stderr, "no memory for time vector.\n");
    return 0;
  }
  if (!images) {
    rgb::say(stderr, "no memory for RGB image(s).\n");
    return 0;
  }
  // XSIZE and YSIZE are 16-bit: a larger side would give a header that
  // disagrees with the pixel data after it.
  if (!storableSide(width) || !storableSide(height)) {
    rgb::say(stderr, "ERROR: image size %dx%d cannot be stored in an RGB header (0 to %d).\n",
             width, height, rgb::kMaxSide);
    return 0;
  }
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  const std::size_t frameBytes = w * h * rgb::kChannels;
  const rgb::StreamLock lock(stream);
  RGBHeader header = rgb::streamHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
  auto putFrame = [&](int64_t at, const unsigned char* planes) {
    const int n = static_cast<int>(at);
    rgb::setStreamTimestamp(&header, times[n]);
    if (!writeRGBHeader(stream, &header)) {
      rgb::say(stdout, "error writing header of frame no %d.\n", n);
      return false;
    }
    if (fwrite_unlocked(planes, 1, frameBytes, stream) < frameBytes) {
      reportPixelWriteFailure(stream, n);
      return false;
    }
    return true;
  };
  const int put = rgb::putPlanes(images, w, h, frames, 0, putFrame);
  if (put < 0) rgb::say(stderr, "no memory for scanline.\n");
  if (put <= 0) return 0;
  if (std::fflush(stream) != 0) {
    reportLostWrite(frames);
    return 0;
  }
  return frames;
}

int writeRGBTimePipe(FILE* stream, const unsigned char* images, int width, int height,
                     const int* times) {
  return writeRGBTimeStream(stream, images, width, height, 1, times);
}

int writeRGBPipe(FILE* stream, const unsigned char* images, int width, int height) {
  const int stamp = get_time();
  return writeRGBTimeStream(stream, images, width, height, 1, &stamp);
}

int writeRGBTimeFile(const char* path, const unsigned char* images, int width, int height,
                     int frames, const int* times) {
  return writeFrames(path, images, width, height, frames, times);
}

int writeRGBFile(const char* path, const unsigned char* images, int width, int height,
                 int frames) {
  const std::size_t entries = frames > 0 ? static_cast<std::size_t>(frames) : 0;
  rgb::Malloced<int> times(static_cast<int*>(rgb::allocate(entries * sizeof(int))));
  if (!times) {
    rgb::say(stderr, "no memory for time vector.\n");
    return 0;
  }
  for (std::size_t n = 0; n < entries; ++n) times.get()[n] = get_time();
  return writeFrames(path, images, width, height, frames, times.get());
}

FILE* openRGBWritePipe(const char* path) {
  FILE* stream = std::fopen(path, "ab");
  if (!stream) rgb::say(stderr, "unable to open RGB images pipe %s for writing.\n", path);
  return stream;
}

}  // extern "C"
