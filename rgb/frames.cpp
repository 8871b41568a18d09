// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/frames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "rgb/convert.h"
#include "rgb/second_thread.h"

namespace rgb {
namespace {

// Growth of the scratch for streams whose remaining size is unknown (pipes,
// files cut short): the first step, doubled after that.
constexpr std::size_t kFirstChunk = std::size_t{1} << 20;
// A band of rows of all three planes read from a file at once: small
// enough to stay in the core's cache between the read and the conversion.
constexpr std::size_t kBandBytes = std::size_t{192} << 10;
// Frames from this size up are read in two halves where a second core may
// take one.
constexpr std::size_t kHalvedFrame = std::size_t{1} << 20;
// Frames from this size up are written to memory past the cache.
constexpr std::size_t kStreamingFrame = std::size_t{2} << 20;

// Rows in memory run bottom up like the stream, or top down on request.
std::size_t memoryRow(std::size_t row, std::size_t height, int flags) {
  return (flags & RGB_TOP_ROW_FIRST) ? height - 1 - row : row;
}

}  // namespace

std::size_t knownRemainder(FILE* stream) {
  struct stat status {};
  const int fd = fileno(stream);
  if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return 0;
  const off_t position = ftello(stream);
  if (position < 0 || status.st_size <= position) return 0;
  return static_cast<std::size_t>(status.st_size - position);
}

bool readAt(int fd, unsigned char* into, std::size_t bytes, off_t offset) {
  while (bytes > 0) {
    const ssize_t got = pread(fd, into, bytes, offset);
    if (got <= 0) {
      if (got < 0 && errno == EINTR) continue;
      return false;
    }
    into += got;
    bytes -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

namespace {

// Rows first .. end of a frame of a regular file, read band by band: each
// band of rows is read from the three planes straight into a scratch that
// stays in cache, so the pixels cross memory once, as in a plain read. The
// alpha plane is skipped, not read. False when a read came short.
struct RowRange {
  int fd;
  off_t start;  // the frame's pixels in the file
  const Shape* shape;
  int flags;
  std::size_t first;
  std::size_t end;
  unsigned char* scratch;  // room for one band
  unsigned char* out;
  bool ok = false;
};

// Rows of a band: as many as fit in kBandBytes, at least one.
std::size_t bandRows(const Shape& shape) {
  const auto width = static_cast<std::size_t>(shape.width);
  const auto height = static_cast<std::size_t>(shape.height);
  return std::max<std::size_t>(1, std::min(height, kBandBytes / (kChannels * width)));
}

void readRows(RowRange& range) {
  const auto width = static_cast<std::size_t>(range.shape->width);
  const auto height = static_cast<std::size_t>(range.shape->height);
  const std::size_t plane = range.shape->planeBytes();
  const int flags = range.flags;
  const std::size_t rows = bandRows(*range.shape);
  // Fresh memory gets its pages band by band, zeroed just before they are
  // written, while they are still in cache. Memory written before is not
  // in cache any more when it is that large: stores that bypass the cache
  // spare reading each line only to overwrite it.
  const bool fresh = (flags & RGB_FRESH_BUFFER) != 0;
  const auto convert =
      !fresh && plane * kChannels >= kStreamingFrame ? interleaveStreaming : interleave;
  unsigned char* out = range.out;
  for (std::size_t first = range.first; first < range.end; first += rows) {
    const std::size_t band = std::min(rows, range.end - first);
    unsigned char* red = range.scratch;
    for (std::size_t c = 0; c < kChannels; ++c)
      if (!readAt(range.fd, red + c * band * width, band * width,
                  range.start + static_cast<off_t>(c * plane + first * width)))
        return;
    const std::size_t lowest = (flags & RGB_TOP_ROW_FIRST) ? height - first - band : first;
    if (fresh) providePages(out + lowest * width * kChannels, band * width * kChannels);
    if (!(flags & RGB_TOP_ROW_FIRST)) {
      convert(red, red + band * width, red + 2 * band * width, band * width,
              out + first * width * kChannels);
      continue;
    }
    for (std::size_t r = 0; r < band; ++r)
      convert(red + r * width, red + (band + r) * width, red + (2 * band + r) * width, width,
              out + memoryRow(first + r, height, flags) * width * kChannels);
  }
  range.ok = true;
}

void* readRowsThere(void* range) {
  readRows(*static_cast<RowRange*>(range));
  return nullptr;
}

// A frame of a regular file that holds all of it. A large frame is read in
// two halves side by side when a second core may take one: each half is
// the same work, a copy out of the page cache and one into the caller's
// buffer, and a plain read of the same bytes takes as long as one of them.
// Leaves the stream after the frame. False when the file turned out
// shorter (it was cut meanwhile); the stream is then where the frame
// began, for the sequential path to read it again.
bool readBanded(FILE* stream, const Shape& shape, int flags, Scratch& scratch, unsigned char* out) {
  const auto height = static_cast<std::size_t>(shape.height);
  const std::size_t band = kChannels * bandRows(shape) * static_cast<std::size_t>(shape.width);
  const bool halves = shape.streamPixelBytes() >= kHalvedFrame && height > 1 && severalCores();
  const off_t start = ftello(stream);
  if (start < 0 || !scratch.reserve(halves ? 2 * band : band)) return false;
  const int fd = fileno(stream);
  RowRange lower{fd, start, &shape, flags, 0, height, scratch.data(), out};
  RowRange upper = lower;
  upper.scratch = scratch.data() + band;
  SecondThread helper;
  if (halves) {
    lower.end = upper.first = height / 2;
    if (!helper.start(readRowsThere, &upper)) lower.end = height;
  }
  readRows(lower);
  helper.join();
  const bool whole = lower.ok && (lower.end == height || upper.ok);
  if (!whole) {
    fseeko(stream, start, SEEK_SET);
    return false;
  }
  return fseeko(stream, start + static_cast<off_t>(shape.streamPixelBytes()), SEEK_SET) == 0;
}

// Reads `need` bytes into the scratch, one read where the file is known to
// hold them, in growing steps where it is not. *got counts what arrived.
int fill(FILE* stream, std::size_t need, Scratch& scratch, std::size_t* got) {
  *got = 0;
  if (knownRemainder(stream) >= need && !scratch.reserve(need)) return RGB_ENOMEM;
  while (*got < need) {
    if (scratch.capacity() <= *got &&
        !scratch.reserve(std::min(need, std::max(kFirstChunk, 2 * scratch.capacity()))))
      return RGB_ENOMEM;
    const std::size_t chunk = std::min(need, scratch.capacity()) - *got;
    const std::size_t read = fread_unlocked(scratch.data() + *got, 1, chunk, stream);
    *got += read;
    if (read < chunk) return feof_unlocked(stream) ? RGB_ETRUNCATED : RGB_EIO;
  }
  return RGB_OK;
}

void storeFrame(const unsigned char* planes, const Shape& shape, int flags, unsigned char* out) {
  const auto width = static_cast<std::size_t>(shape.width);
  const auto height = static_cast<std::size_t>(shape.height);
  const std::size_t plane = shape.planeBytes();
  if (flags & RGB_PLANAR) {
    if (!(flags & RGB_TOP_ROW_FIRST)) {
      std::memcpy(out, planes, shape.streamPixelBytes());
      return;
    }
    for (std::size_t c = 0; c < static_cast<std::size_t>(shape.planes); ++c)
      for (std::size_t r = 0; r < height; ++r)
        std::memcpy(out + c * plane + memoryRow(r, height, flags) * width,
                    planes + c * plane + r * width, width);
    return;
  }
  if (!(flags & RGB_TOP_ROW_FIRST)) {
    interleave(planes, planes + plane, planes + 2 * plane, plane, out);
    return;
  }
  for (std::size_t r = 0; r < height; ++r) {
    const unsigned char* red = planes + r * width;
    interleave(red, red + plane, red + 2 * plane, width,
               out + memoryRow(r, height, flags) * width * kChannels);
  }
}

// A frame cut short: the scanlines that arrived whole go where they belong,
// one at a time; nothing else of the frame is touched.
void storeScanlines(const unsigned char* planes, std::size_t got, const Shape& shape, int flags,
                    unsigned char* out) {
  const auto width = static_cast<std::size_t>(shape.width);
  const auto height = static_cast<std::size_t>(shape.height);
  if (width == 0 || height == 0) return;
  for (std::size_t line = 0; line < got / width; ++line) {
    const std::size_t c = line / height;
    const std::size_t row = memoryRow(line % height, height, flags);
    const unsigned char* scanline = planes + line * width;
    if (flags & RGB_PLANAR) {
      std::memcpy(out + c * shape.planeBytes() + row * width, scanline, width);
    } else if (c < kChannels) {
      unsigned char* pixel = out + row * width * kChannels + c;
      for (std::size_t k = 0; k < width; ++k) pixel[kChannels * k] = scanline[k];
    }
  }
}

}  // namespace

bool Scratch::reserve(std::size_t bytes) {
  if (bytes <= capacity_) return true;
  void* grown = std::realloc(data_.get(), bytes);
  if (!grown) return false;
  data_.release();
  data_.reset(static_cast<unsigned char*>(grown));
  capacity_ = bytes;
  return true;
}

int gatherPixels(FILE* stream, const Shape& shape, Scratch& scratch, std::size_t* got) {
  return fill(stream, shape.streamPixelBytes(), scratch, got);
}

void storePixels(const unsigned char* planes, std::size_t got, const Shape& shape, int flags,
                 unsigned char* out) {
  if (got == shape.streamPixelBytes())
    storeFrame(planes, shape, flags, out);
  else
    storeScanlines(planes, got, shape, flags, out);
}

int readPixels(FILE* stream, const Shape& shape, int flags, Scratch& scratch, unsigned char* out) {
  if (shape.streamPixelBytes() == 0) return RGB_OK;
  if (!(flags & RGB_PLANAR) && knownRemainder(stream) >= shape.streamPixelBytes() &&
      readBanded(stream, shape, flags, scratch, out))
    return RGB_OK;
  std::size_t got = 0;
  const int status = gatherPixels(stream, shape, scratch, &got);
  if (status != RGB_ENOMEM) storePixels(scratch.data(), got, shape, flags, out);
  return status;
}

void planesOf(const unsigned char* pixels, std::size_t width, std::size_t height, int flags,
              unsigned char* planes) {
  const std::size_t plane = width * height;
  unsigned char* red = planes;
  if (flags & RGB_PLANAR) {
    for (std::size_t c = 0; c < kChannels; ++c)
      for (std::size_t r = 0; r < height; ++r)
        std::memcpy(red + c * plane + r * width,
                    pixels + c * plane + memoryRow(r, height, flags) * width, width);
    return;
  }
  if (!(flags & RGB_TOP_ROW_FIRST)) {
    deinterleave(pixels, plane, red, red + plane, red + 2 * plane);
    return;
  }
  for (std::size_t r = 0; r < height; ++r)
    deinterleave(pixels + memoryRow(r, height, flags) * width * kChannels, width, red + r * width,
                 red + r * width + plane, red + r * width + 2 * plane);
}

}  // namespace rgb
