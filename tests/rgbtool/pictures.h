// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Pictures for the tests: binary PPM made and parsed byte by byte, and the
// flip between picture order (top row first) and frame order (bottom row
// first).
#ifndef RGBTOOL_TESTS_PICTURES_H
#define RGBTOOL_TESTS_PICTURES_H

#include <string>

#include "tests/support/test_support.h"

namespace rgbtooltest {

using rgbtest::Bytes;

// Interleaved RGB, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  Bytes rgb;
};

Bytes ppmBytes(const Picture& picture);
// Parses a binary PPM with 8-bit samples; throws when it is anything else.
Picture parsePpm(const Bytes& bytes);
Picture readPpm(const std::string& path);
void writePpm(const std::string& path, const Picture& picture);

// Frame `index` of an interleaved frame buffer as a picture, and back.
Picture pictureOfFrame(const Bytes& frames, int index, int width, int height);
Bytes frameOfPicture(const Picture& picture);

// A picture with a deterministic pattern that differs per row and column.
Picture patternPicture(int width, int height, unsigned seed);

// Frames (at least 220 x 330) whose region of interest holds a known number
// of bright pixels on a background with none: frame n has (10 + n) * 10 + 16,
// so 116, 126, 136, ... Bright pixels outside the region, and ones with a
// single channel at 190, lie around them and must not count.
Bytes markableFrames(int frames, int width, int height);

// Frame `index` of an interleaved frame buffer.
Bytes frameAt(const Bytes& frames, int index, int width, int height);

}  // namespace rgbtooltest

#endif  // RGBTOOL_TESTS_PICTURES_H
