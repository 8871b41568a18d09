// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The core both faces of the library share: one frame's header and pixels
// between a stdio stream and memory, with status codes and no printing.
#ifndef RGB_FRAMES_H
#define RGB_FRAMES_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "rgb/buffers.h"
#include "rgb/rgb.h"

namespace rgb {

struct Shape {
  int width = 0;
  int height = 0;
  int planes = 0;
  std::size_t planeBytes() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  }
  // Pixel bytes in the stream: all planes, alpha included. At most
  // 65535 * 65535 * 65535 < 2^48, and only built from a valid header.
  std::size_t streamPixelBytes() const {
    return planeBytes() * static_cast<std::size_t>(planes);
  }
  uint64_t streamFrameBytes() const { return streamPixelBytes() + kHeaderSize; }
  // Bytes in memory for the given RGB_* flags.
  std::size_t memoryBytes(int flags) const {
    return planeBytes() * ((flags & RGB_PLANAR) ? static_cast<std::size_t>(planes) : kChannels);
  }
};

inline bool operator!=(const Shape& a, const Shape& b) {
  return a.width != b.width || a.height != b.height || a.planes != b.planes;
}

// 512 header bytes as read, turned to host order in place and checked in
// the fixed order (magic, storage, bytes per channel, dimension, planes).
// RGB_OK or the status of the first check that fails.
int decodeHeader(RGBHeader* header);
Shape shapeOf(const RGBHeader& header);
// The words of a rejected header (a printf format taking one int, ending in
// a newline) and the offending field's value.
const char* rejectionFormat(int status);
int rejectedValue(int status, const RGBHeader& header);

// A frame's planes as they arrive, before conversion. It grows with the
// data rather than with what a header declares, so a hostile header cannot
// make the reader reserve memory that no pixels back.
class Scratch {
 public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  unsigned char* data() const { return data_.get(); }
  std::size_t capacity() const { return capacity_; }
  // Room for at least `bytes`, keeping what is held; false without memory.
  bool reserve(std::size_t bytes);

 private:
  Malloced<unsigned char> data_;
  std::size_t capacity_ = 0;
};

// Bytes a regular file still holds after the stream's position; 0 when
// that is not known (a pipe, a device).
std::size_t knownRemainder(FILE* stream);

// Reads `bytes` at `offset` of a file, resuming after short reads; false
// when the file ends before them or the read fails (errno then says why).
bool readAt(int fd, unsigned char* into, std::size_t bytes, off_t offset);


// Reads the pixels of a frame of `shape` from `stream` (its header already
// read) and stores them in `out` as RGB_* flags say. RGB_OK; RGB_ETRUNCATED
// or RGB_EIO when the stream ends or fails inside the frame, with the whole
// scanlines that arrived stored; RGB_ENOMEM when the scratch cannot grow.
// The caller holds the stream's lock.
int readPixels(FILE* stream, const Shape& shape, int flags, Scratch& scratch, unsigned char* out);

// The two halves of readPixels for a stream of unknown length, for a caller
// that sizes `out` only once the bytes are there: the frame's planes into
// the scratch as they arrive (*got counts them; the status as readPixels
// gives it), then whatever arrived stored in `out` (the whole frame, or its
// whole scanlines when got falls short).
int gatherPixels(FILE* stream, const Shape& shape, Scratch& scratch, std::size_t* got);
void storePixels(const unsigned char* planes, std::size_t got, const Shape& shape, int flags,
                 unsigned char* out);

// The planes of a width x height RGB frame from interleaved pixels, or from
// planes (RGB_PLANAR), top row first with RGB_TOP_ROW_FIRST, into `planes`
// (3 * width * height bytes).
void planesOf(const unsigned char* pixels, std::size_t width, std::size_t height, int flags,
              unsigned char* planes);

}  // namespace rgb

#endif  // RGB_FRAMES_H
