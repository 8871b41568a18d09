// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The writer handle: frames appended to a file under the append lock, as a
// continuation of the stream there and undone as a whole when they fail, or
// written to a borrowed stream. Never prints.
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "rgb/append.h"
#include "rgb/buffers.h"
#include "rgb/continuation.h"
#include "rgb/frames.h"
#include "rgb/header.h"
#include "rgb/rgb.h"
#include "rgb/size_limit.h"

namespace {

constexpr int kKnownFlags = RGB_TOP_ROW_FIRST | RGB_CUT_PARTIAL | RGB_PLANAR;

// Writes every byte of the pieces, resuming after short writes.
bool writeAll(int fd, iovec* pieces, int count) {
  while (count > 0) {
    const ssize_t put = writev(fd, pieces, count);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    auto left = static_cast<std::size_t>(put);
    while (count > 0 && left >= pieces->iov_len) {
      left -= pieces->iov_len;
      ++pieces;
      --count;
    }
    if (count > 0) {
      pieces->iov_base = static_cast<char*>(pieces->iov_base) + left;
      pieces->iov_len -= left;
    }
  }
  return true;
}

// One call's frames: all of one size, one after another, interleaved or
// (RGB_PLANAR) as stored.
struct Batch {
  const unsigned char* pixels;
  rgb::Shape shape;
  int64_t frames;
  const int32_t* stamps;
  int flags;
  std::size_t frameBytes() const { return shape.memoryBytes(0); }
  const unsigned char* frame(int64_t n) const {
    return pixels ? pixels + static_cast<std::size_t>(n) * frameBytes() : nullptr;
  }
  // Frames given as stored go out from the caller's buffer, with no copy.
  bool asStored() const { return (flags & RGB_PLANAR) && !(flags & RGB_TOP_ROW_FIRST); }
  bool needsScratch() const { return !asStored() && frameBytes() > 0; }
};

}  // namespace

struct rgb_writer {
  int fd = -1;             // a file the writer opened, written directly
  char* path = nullptr;    // its name, to follow a replacement of the file
  FILE* stream = nullptr;  // or a borrowed stream
  rgb::Scratch planes;

  ~rgb_writer() { std::free(path); }

  // Frame n of the batch in stream form: its header, and its planes, in the
  // scratch (reserved by the caller) unless the caller's frame is stored form
  // already.
  RGBHeader prepare(const Batch& batch, int64_t n, const unsigned char** stored) {
    const rgb::Shape& shape = batch.shape;
    *stored = batch.asStored() ? batch.frame(n) : planes.data();
    if (batch.needsScratch())
      rgb::planesOf(batch.frame(n), static_cast<std::size_t>(shape.width),
                    static_cast<std::size_t>(shape.height), batch.flags, planes.data());
    RGBHeader header = rgb::streamHeader(static_cast<uint16_t>(shape.width),
                                         static_cast<uint16_t>(shape.height));
    rgb::setStreamTimestamp(&header, batch.stamps[n]);
    return header;
  }

  int append(const Batch& batch, uint64_t total) {
    rgb::LockedAppend lock;
    const int locked = lock.lock(&fd, path);
    if (locked != RGB_OK) return locked;
    const rgb::Continuation found =
        rgb::continueStream(lock, batch.shape, (batch.flags & RGB_CUT_PARTIAL) != 0);
    if (found.status != RGB_OK) return found.status;
    if (total > rgb::roomBelowSizeLimit(lock.start())) {
      errno = EFBIG;
      return RGB_EIO;
    }
    for (int64_t n = 0; n < batch.frames; ++n) {
      const unsigned char* stored = nullptr;
      RGBHeader header = prepare(batch, n, &stored);
      iovec pieces[] = {{&header, rgb::kHeaderSize},
                        {const_cast<unsigned char*>(stored), batch.frameBytes()}};
      if (!writeAll(fd, pieces, batch.frameBytes() > 0 ? 2 : 1)) {
        const int saved = errno;
        lock.undo(total);
        errno = saved;
        return RGB_EIO;
      }
    }
    return RGB_OK;
  }

  int put(const Batch& batch) {
    const rgb::StreamLock lock(stream);
    for (int64_t n = 0; n < batch.frames; ++n) {
      const unsigned char* stored = nullptr;
      const RGBHeader header = prepare(batch, n, &stored);
      if (fwrite_unlocked(&header, 1, rgb::kHeaderSize, stream) < rgb::kHeaderSize ||
          fwrite_unlocked(stored, 1, batch.frameBytes(), stream) < batch.frameBytes() ||
          fflush_unlocked(stream) != 0)
        return RGB_EIO;
    }
    return RGB_OK;
  }
};

namespace {

int make(rgb_writer** out, int fd, const char* path, FILE* stream) {
  void* memory = std::malloc(sizeof(rgb_writer));
  char* name = path ? strdup(path) : nullptr;
  if (!memory || (path && !name)) {
    std::free(memory);
    std::free(name);
    if (fd >= 0) close(fd);
    return RGB_ENOMEM;
  }
  rgb_writer* writer = new (memory) rgb_writer;
  writer->fd = fd;
  writer->path = name;
  writer->stream = stream;
  *out = writer;
  return RGB_OK;
}

// Stream bytes of the whole batch; false when they overflow.
bool streamBytes(const rgb::Shape& shape, int64_t frames, uint64_t* bytes) {
  return !__builtin_mul_overflow(shape.streamFrameBytes(), static_cast<uint64_t>(frames), bytes);
}

}  // namespace

extern "C" {

int rgb_writer_open(rgb_writer** writer, const char* path) {
  if (!writer || !path) return RGB_EINVAL;
  *writer = nullptr;
  const int fd = rgb::openForAppend(path);
  if (fd < 0) return RGB_EOPEN;
  return make(writer, fd, path, nullptr);
}

int rgb_writer_from_file(rgb_writer** writer, FILE* stream) {
  if (!writer || !stream) return RGB_EINVAL;
  *writer = nullptr;
  return make(writer, -1, nullptr, stream);
}

int rgb_writer_put_frames(rgb_writer* writer, const unsigned char* pixels, int width, int height,
                          int64_t frames, const int32_t* stamps, int flags) {
  if (!writer || (flags & ~kKnownFlags) != 0 || width < 0 || height < 0 || frames < 0)
    return RGB_EINVAL;
  if (width > rgb::kMaxSide || height > rgb::kMaxSide) return RGB_ETOOLARGE;
  if (frames == 0) return RGB_OK;
  const Batch batch{pixels, {width, height, static_cast<int>(rgb::kChannels)}, frames, stamps, flags};
  std::size_t pixelBytes = 0;
  uint64_t total = 0;
  if (!rgb::imageBytes(frames, width, height, &pixelBytes) ||
      !streamBytes(batch.shape, frames, &total))
    return RGB_ETOOLARGE;
  if (!stamps || (pixelBytes > 0 && !pixels)) return RGB_EINVAL;
  if (batch.needsScratch() && !writer->planes.reserve(batch.frameBytes())) return RGB_ENOMEM;
  const rgb::HeldSizeLimitSignal held;
  return writer->fd >= 0 ? writer->append(batch, total) : writer->put(batch);
}

int rgb_writer_put(rgb_writer* writer, const unsigned char* pixels, int width, int height,
                   int32_t stamp, int flags) {
  return rgb_writer_put_frames(writer, pixels, width, height, 1, &stamp, flags);
}

int rgb_writer_close(rgb_writer* writer) {
  if (!writer) return RGB_EINVAL;
  int status = RGB_OK;
  if (writer->fd >= 0) {
    if (close(writer->fd) != 0) status = RGB_EIO;
  } else if (std::fflush(writer->stream) != 0) {
    status = RGB_EIO;
  }
  const int saved = errno;
  writer->~rgb_writer();
  std::free(writer);
  errno = saved;
  return status;
}

}  // extern "C"
