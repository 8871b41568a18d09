// The fixed fields of a frame header, decoded from its 512 raw bytes. Used
// to learn a stream's geometry and to compare later headers with the first
// one cheaply; the library's readRGBHeader stays the judge of validity.
#ifndef RGBTOOL_FRAME_HEADER_H
#define RGBTOOL_FRAME_HEADER_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace rgbtool {

constexpr std::size_t kHeaderBytes = 512;
constexpr int kRgbPlanes = 3;
constexpr int kRgbaPlanes = 4;
constexpr int kMaxSide = 65535;

struct Geometry {
  int width = 0;
  int height = 0;
  int planes = 0;

  uint64_t pixelBytes() const {
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
           static_cast<uint64_t>(planes);
  }
  uint64_t frameBytes() const { return kHeaderBytes + pixelBytes(); }
  bool operator==(const Geometry& other) const {
    return width == other.width && height == other.height && planes == other.planes;
  }
  bool operator!=(const Geometry& other) const { return !(*this == other); }
};

struct RawHeader {
  unsigned magic = 0;
  unsigned storage = 0;
  unsigned bpc = 0;
  unsigned dimension = 0;
  Geometry geometry;
  int32_t stamp = 0;

  // True when every field the library checks has an accepted value.
  bool valid() const;
};

RawHeader decodeHeader(const unsigned char* bytes);

// "1920 x 1080 RGB" or "... RGBA".
std::string describe(const Geometry& geometry);
const char* planeName(int planes);

}  // namespace rgbtool

#endif  // RGBTOOL_FRAME_HEADER_H
