// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/continuation.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "rgb/header.h"

namespace rgb {
namespace {

bool readable(int fd) {
  const int mode = fcntl(fd, F_GETFL);
  return mode >= 0 && (mode & O_ACCMODE) != O_WRONLY;
}

// What the file holds of its first header over a valid header of the new
// frames: a first header cut short is then judged on the fields it holds,
// so that a short file that is no stream at all is never taken for one.
int firstHeader(int fd, uint64_t size, const Shape& frames, RGBHeader* header) {
  *header = streamHeader(static_cast<uint16_t>(frames.width), static_cast<uint16_t>(frames.height));
  const std::size_t held = static_cast<std::size_t>(std::min<uint64_t>(size, kHeaderSize));
  errno = 0;
  if (!readAt(fd, reinterpret_cast<unsigned char*>(header), held, 0)) {
    if (errno == 0) errno = EIO;  // the file shrank under a writer that ignores the lock
    return RGB_EIO;
  }
  return decodeHeader(header);
}

}  // namespace

Continuation continueStream(LockedAppend& append, const Shape& frames, bool cutPartial) {
  Continuation found;
  const off_t start = append.start();
  if (start <= 0 || !readable(append.descriptor())) return found;
  const auto size = static_cast<uint64_t>(start);
  RGBHeader header;
  found.status = firstHeader(append.descriptor(), size, frames, &header);
  if (found.status != RGB_OK) return found;
  uint64_t whole = 0;
  if (size >= kHeaderSize) {
    found.file = shapeOf(header);
    if (found.file != frames) {
      found.status = RGB_ESIZECHANGE;
      return found;
    }
    whole = size - size % found.file.streamFrameBytes();
  }
  found.stray = size - whole;
  if (found.stray == 0) return found;
  if (!cutPartial)
    found.status = RGB_ETRUNCATED;
  else if (!append.cutTo(static_cast<off_t>(whole)))
    found.status = RGB_EIO;
  return found;
}

}  // namespace rgb
