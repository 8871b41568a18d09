// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/rgbtool/pictures.h"

#include <algorithm>
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

Bytes markableFrames(int frames, int width, int height) {
  Bytes image = rgbtest::patternImage(frames, width, height, 11);
  for (unsigned char& byte : image) byte &= 0x7f;
  for (int n = 0; n < frames; ++n) {
    auto paint = [&](int row, int rows, int column, int columns, unsigned char red,
                     unsigned char green, unsigned char blue) {
      for (int i = row; i < std::min(row + rows, height); ++i)
        for (int j = column; j < std::min(column + columns, width); ++j) {
          const std::size_t at =
              kChannels * ((static_cast<std::size_t>(n) * static_cast<std::size_t>(height) +
                            static_cast<std::size_t>(i)) *
                               static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(j));
          image[at] = red;
          image[at + 1] = green;
          image[at + 2] = blue;
        }
    };
    paint(310, 10 + n, 210, 10, 191, 191, 191);  // (10 + n) * 10, just bright
    paint(295, 10, 195, 10, 255, 255, 255);      // across a corner: 4 * 4 inside
    paint(400, 10, 300, 10, 255, 255, 190);      // blue not above 190
    paint(100, 10, 100, 10, 255, 255, 255);      // outside
    paint(500, 1, 250, 10, 255, 255, 255);       // on the top edge
  }
  return image;
}

Bytes frameAt(const Bytes& frames, int index, int width, int height) {
  const std::size_t size = rowBytes(width) * static_cast<std::size_t>(height);
  const auto first = frames.begin() + static_cast<long>(size * static_cast<std::size_t>(index));
  return Bytes(first, first + static_cast<long>(size));
}

}  // namespace rgbtooltest
