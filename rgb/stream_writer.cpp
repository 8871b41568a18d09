// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The writer handle: one frame per call, appended to a file under the
// append lock and undone when it fails, or written to a borrowed stream.
// Never prints.
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "rgb/append.h"
#include "rgb/buffers.h"
#include "rgb/frames.h"
#include "rgb/header.h"
#include "rgb/rgb.h"

namespace {

constexpr int kKnownFlags = RGB_TOP_ROW_FIRST;
constexpr mode_t kNewFileMode = 0666;  // less the umask

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

}  // namespace

struct rgb_writer {
  int fd = -1;            // a file the writer opened, written directly
  FILE* stream = nullptr;  // or a borrowed stream
  rgb::Scratch planes;

  int append(const RGBHeader& header, std::size_t bytes) {
    iovec pieces[] = {{const_cast<RGBHeader*>(&header), rgb::kHeaderSize},
                      {planes.data(), bytes}};
    rgb::LockedAppend lock(fd);
    if (writeAll(fd, pieces, bytes > 0 ? 2 : 1)) return RGB_OK;
    const int saved = errno;
    lock.undo(rgb::kHeaderSize + bytes);
    errno = saved;
    return RGB_EIO;
  }

  int put(const RGBHeader& header, std::size_t bytes) {
    const rgb::StreamLock lock(stream);
    if (fwrite_unlocked(&header, 1, rgb::kHeaderSize, stream) < rgb::kHeaderSize ||
        fwrite_unlocked(planes.data(), 1, bytes, stream) < bytes || fflush_unlocked(stream) != 0)
      return RGB_EIO;
    return RGB_OK;
  }
};

namespace {

int make(rgb_writer** out, int fd, FILE* stream) {
  void* memory = std::malloc(sizeof(rgb_writer));
  if (!memory) {
    if (fd >= 0) close(fd);
    return RGB_ENOMEM;
  }
  rgb_writer* writer = new (memory) rgb_writer;
  writer->fd = fd;
  writer->stream = stream;
  *out = writer;
  return RGB_OK;
}

}  // namespace

extern "C" {

int rgb_writer_open(rgb_writer** writer, const char* path) {
  if (!writer || !path) return RGB_EINVAL;
  *writer = nullptr;
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return RGB_EOPEN;
  return make(writer, fd, nullptr);
}

int rgb_writer_from_file(rgb_writer** writer, FILE* stream) {
  if (!writer || !stream) return RGB_EINVAL;
  *writer = nullptr;
  return make(writer, -1, stream);
}

int rgb_writer_put(rgb_writer* writer, const unsigned char* pixels, int width, int height,
                   int32_t stamp, int flags) {
  if (!writer || (flags & ~kKnownFlags) != 0 || width < 0 || height < 0) return RGB_EINVAL;
  if (width > rgb::kMaxSide || height > rgb::kMaxSide) return RGB_ETOOLARGE;
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  const std::size_t bytes = w * h * rgb::kChannels;
  if (bytes > 0 && !pixels) return RGB_EINVAL;
  if (!writer->planes.reserve(bytes)) return RGB_ENOMEM;
  if (bytes > 0) rgb::planesOf(pixels, w, h, flags, writer->planes.data());
  RGBHeader header = rgb::streamHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
  rgb::setStreamTimestamp(&header, stamp);
  return writer->fd >= 0 ? writer->append(header, bytes) : writer->put(header, bytes);
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
