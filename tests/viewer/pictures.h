// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Pictures for the viewer tests: samples, the expected display image
// worked out independently of the viewer's marking code, frame files.
#ifndef RGB_TESTS_VIEWER_PICTURES_H
#define RGB_TESTS_VIEWER_PICTURES_H

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace viewertest {

using rgbtest::Bytes;

// An interleaved RGB picture with row 0 at the bottom, as the viewer holds it.
struct Picture {
  int width = 0;
  int height = 0;
  Bytes rgb;
  unsigned char* at(int row, int column);
  const unsigned char* at(int row, int column) const;
  void set(int row, int column, unsigned char red, unsigned char green,
           unsigned char blue);
};

// A patterned picture (rgbtest::patternImage) with white squares inside
// and outside the region of interest where the picture reaches them.
Picture samplePicture(int width, int height, unsigned seed = 0);

// The display image worked out pixel by pixel from the rules, independent
// of the viewer's own marking code.
Picture expectedDisplay(const Picture& input);

// Writes frames to a frame file (headers built byte by byte).
void writeFrameFile(const std::string& path, const std::vector<Picture>& frames);

// Empty when equal, else the picture sizes or the first differing pixel.
std::string difference(const Picture& expected, const Picture& actual);

}  // namespace viewertest

#endif  // RGB_TESTS_VIEWER_PICTURES_H
