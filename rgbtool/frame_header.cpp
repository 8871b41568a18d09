#include "rgbtool/frame_header.h"

namespace rgbtool {
namespace {

constexpr unsigned kMagic = 474;
constexpr unsigned kDimension = 3;
constexpr std::size_t kStampOffset = 108;

unsigned be16(const unsigned char* p) {
  return static_cast<unsigned>(p[0]) << 8 | p[1];
}

int32_t be32(const unsigned char* p) {
  const uint32_t v = static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                     static_cast<uint32_t>(p[2]) << 8 | p[3];
  return static_cast<int32_t>(v);
}

}  // namespace

bool RawHeader::valid() const {
  return magic == kMagic && storage == 0 && bpc == 1 && dimension == kDimension &&
         (geometry.planes == kRgbPlanes || geometry.planes == kRgbaPlanes);
}

RawHeader decodeHeader(const unsigned char* bytes) {
  RawHeader h;
  h.magic = be16(bytes);
  h.storage = bytes[2];
  h.bpc = bytes[3];
  h.dimension = be16(bytes + 4);
  h.geometry.width = static_cast<int>(be16(bytes + 6));
  h.geometry.height = static_cast<int>(be16(bytes + 8));
  h.geometry.planes = static_cast<int>(be16(bytes + 10));
  h.stamp = be32(bytes + kStampOffset);
  return h;
}

const char* planeName(int planes) { return planes == kRgbaPlanes ? "RGBA" : "RGB"; }

std::string describe(const Geometry& geometry) {
  return std::to_string(geometry.width) + " x " + std::to_string(geometry.height) + " " +
         planeName(geometry.planes);
}

}  // namespace rgbtool
