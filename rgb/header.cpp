// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/header.h"

#include <sys/time.h>

#include <cstddef>
#include <cstring>

#include "rgb/buffers.h"
#include "rgb/frames.h"
#include "rgb/messages.h"

namespace {

// The record mirrors the stream byte for byte.
static_assert(sizeof(RGBHeader) == rgb::kHeaderSize, "RGBHeader must be 512 bytes");
static_assert(offsetof(RGBHeader, MAGIC) == 0 && offsetof(RGBHeader, STORAGE) == 2 &&
                  offsetof(RGBHeader, BPC) == 3 && offsetof(RGBHeader, DIMENSION) == 4 &&
                  offsetof(RGBHeader, XSIZE) == 6 && offsetof(RGBHeader, YSIZE) == 8 &&
                  offsetof(RGBHeader, ZSIZE) == 10 && offsetof(RGBHeader, PIXMIN) == 12 &&
                  offsetof(RGBHeader, PIXMAX) == 16 && offsetof(RGBHeader, DUMMY) == 20 &&
                  offsetof(RGBHeader, IMAGENAME) == 24 && offsetof(RGBHeader, COLORMAP) == 104 &&
                  offsetof(RGBHeader, TIMESTAMP) == 108 && offsetof(RGBHeader, RESERVED) == 112,
              "RGBHeader fields must sit at their stream offsets");

constexpr uint8_t kUncompressed = 0;
constexpr uint8_t kBytesPerChannel = 1;
constexpr uint16_t kDimension = 3;
constexpr uint16_t kRgbPlanes = 3;
constexpr uint16_t kRgbaPlanes = 4;
constexpr int32_t kPixMax = 255;

// Fields are converted by looking at their bytes, so the code is right on
// hosts of either byte order: the stream is always big-endian.
template <class T>
T fromBigEndian(T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  uint32_t host = 0;
  for (unsigned char byte : bytes) host = host << 8 | byte;
  return static_cast<T>(host);
}

template <class T>
T toBigEndian(T value) {
  unsigned char bytes[sizeof(T)];
  const auto bits = static_cast<uint32_t>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i)
    bytes[i] = static_cast<unsigned char>(bits >> (8 * (sizeof(T) - 1 - i)));
  T stored;
  std::memcpy(&stored, bytes, sizeof(T));
  return stored;
}

void toHostOrder(RGBHeader* h) {
  h->MAGIC = fromBigEndian(h->MAGIC);
  h->DIMENSION = fromBigEndian(h->DIMENSION);
  h->XSIZE = fromBigEndian(h->XSIZE);
  h->YSIZE = fromBigEndian(h->YSIZE);
  h->ZSIZE = fromBigEndian(h->ZSIZE);
  h->PIXMIN = fromBigEndian(h->PIXMIN);
  h->PIXMAX = fromBigEndian(h->PIXMAX);
  h->COLORMAP = fromBigEndian(h->COLORMAP);
  h->TIMESTAMP = fromBigEndian(h->TIMESTAMP);
}

// The checks in their fixed order: the first that fails is the one reported.
int firstFailedCheck(const RGBHeader& h) {
  if (h.MAGIC != rgb::kMagic) return RGB_EMAGIC;
  if (h.STORAGE != kUncompressed) return RGB_ESTORAGE;
  if (h.BPC != kBytesPerChannel) return RGB_EBPC;
  if (h.DIMENSION != kDimension) return RGB_EDIMENSION;
  if (h.ZSIZE != kRgbPlanes && h.ZSIZE != kRgbaPlanes) return RGB_EPLANES;
  return RGB_OK;
}

// The classic message for a rejected header, with the offending field.
void reportRejected(int status, const RGBHeader& h) {
  rgb::say(stderr, rgb::rejectionFormat(status), rgb::rejectedValue(status, h));
}

}  // namespace

namespace rgb {

const char* rejectionFormat(int status) {
  switch (status) {
    case RGB_EMAGIC: return "ERROR: image has wrong magic number: %d. not an IRIS/RGB file.\n";
    case RGB_ESTORAGE: return "ERROR: image not uncompressed: %d.\n";
    case RGB_EBPC: return "ERROR: image has not 1 byte per pixel channel: %d.\n";
    case RGB_EDIMENSION:
      return "ERROR: image(s) is/are not an 2D image or 2D image sequence: %d.\n";
    default: return "ERROR: image is not pure RGB image content: %d.\n";
  }
}

int rejectedValue(int status, const RGBHeader& h) {
  switch (status) {
    case RGB_EMAGIC: return h.MAGIC;
    case RGB_ESTORAGE: return h.STORAGE;
    case RGB_EBPC: return h.BPC;
    case RGB_EDIMENSION: return h.DIMENSION;
    default: return h.ZSIZE;
  }
}

int decodeHeader(RGBHeader* header) {
  toHostOrder(header);
  return firstFailedCheck(*header);
}

Shape shapeOf(const RGBHeader& header) { return {header.XSIZE, header.YSIZE, header.ZSIZE}; }

RGBHeader streamHeader(uint16_t width, uint16_t height) {
  RGBHeader h;
  std::memset(&h, 0, sizeof h);
  h.MAGIC = toBigEndian(kMagic);
  h.STORAGE = kUncompressed;
  h.BPC = kBytesPerChannel;
  h.DIMENSION = toBigEndian(kDimension);
  h.XSIZE = toBigEndian(width);
  h.YSIZE = toBigEndian(height);
  h.ZSIZE = toBigEndian(kRgbPlanes);
  h.PIXMIN = 0;
  h.PIXMAX = toBigEndian(kPixMax);
  return h;
}

void setStreamTimestamp(RGBHeader* header, int32_t stamp) {
  header->TIMESTAMP = toBigEndian(stamp);
}

int timeStampAt(long long seconds, long long microseconds) {
  return static_cast<int>(seconds % kClockCycleSeconds * 1000 + microseconds / 1000);
}

}  // namespace rgb

extern "C" {

int readRGBHeader(FILE* stream, RGBHeader* header) {
  if (!stream) {
    rgb::reportNullStream();
    return 0;
  }
  header->MAGIC = 0;
  const std::size_t got = std::fread(header, 1, rgb::kHeaderSize, stream);
  if (got < rgb::kHeaderSize) {
    rgb::say(stdout, "error reading %d RGB header bytes.\n", static_cast<int>(got));
    return 0;
  }
  const int status = rgb::decodeHeader(header);
  if (status != RGB_OK) {
    reportRejected(status, *header);
    return 0;
  }
  if (header->ZSIZE == kRgbaPlanes) rgb::say(stderr, "warning: ignoring alpha channel (4th byte)\n");
  return 1;
}

int writeRGBHeader(FILE* stream, const RGBHeader* header) {
  if (!stream) {
    rgb::reportNullStream();
    return 0;
  }
  const std::size_t put = std::fwrite(header, 1, rgb::kHeaderSize, stream);
  if (put != rgb::kHeaderSize) {
    rgb::say(stderr, "error writing %d RGB header bytes.\n", static_cast<int>(put));
    return 0;
  }
  return 1;
}

void swap_ushort(uint16_t* value) {
  *value = static_cast<uint16_t>((*value << 8) | (*value >> 8));
}

void swap_uint(uint32_t* value) {
  *value = ((*value & 0x00ff00ffu) << 8) | ((*value >> 8) & 0x00ff00ffu);
}

void swap_uuint(uint32_t* value) {
  const uint32_t v = *value;
  *value = (v << 24) | ((v & 0xff00u) << 8) | ((v >> 8) & 0xff00u) | (v >> 24);
}

int get_time(void) {
  timeval now{};
  gettimeofday(&now, nullptr);
  return rgb::timeStampAt(now.tv_sec, now.tv_usec);
}

int diff_time(int a, int b) {
  // Wraps like the 32-bit arithmetic it stands for instead of overflowing.
  return static_cast<int>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // extern "C"
