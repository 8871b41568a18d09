// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Streams for the tests of cut, join and repair, built frame by frame with
// the test support's byte-level writer, so that what a command keeps can
// be compared with frames it never touched.
#ifndef RGBTOOL_TESTS_EDIT_STREAMS_H
#define RGBTOOL_TESTS_EDIT_STREAMS_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace rgbtooltest {

// Frame n of a pattern (different for every n), 5 x 4 unless told.
inline rgbtest::Bytes patternFrame(int n, int32_t stamp, int width = 5, int height = 4) {
  const rgbtest::Bytes pixels = rgbtest::patternImage(1, width, height, static_cast<unsigned>(n));
  return rgbtest::frameBytes(pixels, 0, width, height, stamp);
}

// Frames `indices` of a stream whose frame n is patternFrame(n, stamps[static_cast<std::size_t>(n)]).
inline rgbtest::Bytes framesOf(const std::vector<int32_t>& stamps,
                               const std::vector<int>& indices) {
  rgbtest::Bytes bytes;
  for (const int n : indices) rgbtest::append(bytes, patternFrame(n, stamps[static_cast<std::size_t>(n)]));
  return bytes;
}

inline std::vector<int> allFrames(std::size_t count) {
  std::vector<int> indices;
  for (std::size_t n = 0; n < count; ++n) indices.push_back(static_cast<int>(n));
  return indices;
}

// Shell words for a path, for the tests that put rgbtool in a pipeline.
inline std::string quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace rgbtooltest

#endif  // RGBTOOL_TESTS_EDIT_STREAMS_H
