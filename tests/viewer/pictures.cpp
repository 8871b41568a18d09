// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/viewer/pictures.h"

#include <sstream>

namespace viewertest {
namespace {

constexpr int kChannels = 3;
constexpr int kSquare = 9;  // side of the white squares in samples

std::size_t offset(int width, int row, int column) {
  return static_cast<std::size_t>(kChannels) *
         (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
          static_cast<std::size_t>(column));
}

void whiteSquare(Picture& picture, int row, int column) {
  for (int i = row; i < row + kSquare && i < picture.height; ++i)
    for (int j = column; j < column + kSquare && j < picture.width; ++j)
      picture.set(i, j, 255, 255, 255);
}

}  // namespace

unsigned char* Picture::at(int row, int column) {
  return rgb.data() + offset(width, row, column);
}
const unsigned char* Picture::at(int row, int column) const {
  return rgb.data() + offset(width, row, column);
}
void Picture::set(int row, int column, unsigned char red, unsigned char green,
                  unsigned char blue) {
  unsigned char* pixel = at(row, column);
  pixel[0] = red;
  pixel[1] = green;
  pixel[2] = blue;
}

Picture samplePicture(int width, int height, unsigned seed) {
  Picture picture{width, height, rgbtest::patternImage(1, width, height, seed)};
  // Inside the region, across its edges, and outside it.
  const int spots[][2] = {{400, 300}, {301, 201}, {495, 395}, {296, 196},
                          {496, 396}, {100, 100}, {520, 450}, {10, 600}};
  for (const auto& spot : spots)
    if (spot[0] < height && spot[1] < width)
      whiteSquare(picture, spot[0], spot[1]);
  return picture;
}

Picture expectedDisplay(const Picture& input) {
  return Picture{input.width, input.height,
                 rgbtest::markedDisplay(input.rgb, input.width, input.height)};
}

void writeFrameFile(const std::string& path,
                    const std::vector<Picture>& frames) {
  Bytes stream;
  int32_t stamp = 1000;
  for (const Picture& frame : frames)
    rgbtest::append(stream, rgbtest::frameBytes(frame.rgb, 0, frame.width,
                                                frame.height, stamp++));
  rgbtest::writeFile(path, stream);
}

std::string difference(const Picture& expected, const Picture& actual) {
  std::ostringstream text;
  if (expected.width != actual.width || expected.height != actual.height) {
    text << "size " << actual.width << "x" << actual.height << ", expected "
         << expected.width << "x" << expected.height;
    return text.str();
  }
  for (int i = 0; i < expected.height; ++i) {
    for (int j = 0; j < expected.width; ++j) {
      const unsigned char* e = expected.at(i, j);
      const unsigned char* a = actual.at(i, j);
      if (e[0] == a[0] && e[1] == a[1] && e[2] == a[2]) continue;
      text << "pixel (row " << i << ", column " << j << ") is (" << int{a[0]}
           << "," << int{a[1]} << "," << int{a[2]} << "), expected ("
           << int{e[0]} << "," << int{e[1]} << "," << int{e[2]} << ")";
      return text.str();
    }
  }
  return "";
}

}  // namespace viewertest
