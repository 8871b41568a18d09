#include "tests/rgbtool/pictures.h"

#include <cctype>
#include <stdexcept>

namespace rgbtooltest {
namespace {

constexpr std::size_t kChannels = 3;

std::size_t rowBytes(int width) { return kChannels * static_cast<std::size_t>(width); }

// Reads one header number, skipping whitespace and comments.
long headerNumber(const Bytes& bytes, std::size_t& at) {
  while (at < bytes.size()) {
    if (bytes[at] == '#') {
      while (at < bytes.size() && bytes[at] != '\n') ++at;
    } else if (std::isspace(bytes[at])) {
      ++at;
    } else {
      break;
    }
  }
  long value = 0;
  bool any = false;
  while (at < bytes.size() && std::isdigit(bytes[at])) {
    value = value * 10 + (bytes[at++] - '0');
    any = true;
  }
  if (!any) throw std::runtime_error("PPM header number missing");
  return value;
}

}  // namespace

Bytes ppmBytes(const Picture& picture) {
  const std::string header = "P6\n" + std::to_string(picture.width) + " " +
                             std::to_string(picture.height) + "\n255\n";
  Bytes bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), picture.rgb.begin(), picture.rgb.end());
  return bytes;
}

Picture parsePpm(const Bytes& bytes) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6')
    throw std::runtime_error("not a binary PPM");
  std::size_t at = 2;
  Picture picture;
  picture.width = static_cast<int>(headerNumber(bytes, at));
  picture.height = static_cast<int>(headerNumber(bytes, at));
  if (headerNumber(bytes, at) != 255) throw std::runtime_error("PPM maxval is not 255");
  ++at;  // the single separator before the raster
  const std::size_t size = rowBytes(picture.width) * static_cast<std::size_t>(picture.height);
  if (bytes.size() < at + size) throw std::runtime_error("PPM raster too short");
  picture.rgb.assign(bytes.begin() + static_cast<long>(at),
                     bytes.begin() + static_cast<long>(at + size));
  return picture;
}

Picture readPpm(const std::string& path) { return parsePpm(rgbtest::readFile(path)); }

void writePpm(const std::string& path, const Picture& picture) {
  rgbtest::writeFile(path, ppmBytes(picture));
}

Picture pictureOfFrame(const Bytes& frames, int index, int width, int height) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  const std::size_t row = rowBytes(width);
  const std::size_t base = static_cast<std::size_t>(index) * row * static_cast<std::size_t>(height);
  for (int r = height - 1; r >= 0; --r) {
    const auto first = frames.begin() + static_cast<long>(base + static_cast<std::size_t>(r) * row);
    picture.rgb.insert(picture.rgb.end(), first, first + static_cast<long>(row));
  }
  return picture;
}

Bytes frameOfPicture(const Picture& picture) {
  return pictureOfFrame(picture.rgb, 0, picture.width, picture.height).rgb;
}

Picture patternPicture(int width, int height, unsigned seed) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb = rgbtest::patternImage(1, width, height, seed);
  // Make the top and bottom rows tell apart even for tiny pictures.
  for (std::size_t i = 0; i < rowBytes(width); ++i) picture.rgb[i] ^= 0x5a;
  return picture;
}

}  // namespace rgbtooltest
