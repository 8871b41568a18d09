// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The marking with a region and threshold of the caller's choosing, in
// process: regions reaching past the picture, huge and refused regions,
// and the threshold's ends. Pictures are made by hand, expectations are
// literal pixel values.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "toolkit/marking.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int kWidth = 6;
constexpr int kHeight = 5;

// A 6 x 5 picture of (10, 20, 30) with a white pixel at (row 3, column 4)
// and a (128, 128, 128) one at (row 2, column 2).
Bytes picture() {
  Bytes rgb;
  for (int k = 0; k < kWidth * kHeight; ++k) rgb.insert(rgb.end(), {10, 20, 30});
  auto set = [&](int row, int column, unsigned char value) {
    for (int c = 0; c < 3; ++c) rgb[static_cast<std::size_t>(3 * (row * kWidth + column) + c)] = value;
  };
  set(3, 4, 255);
  set(2, 2, 128);
  return rgb;
}

std::vector<int> pixel(const Bytes& rgb, int row, int column) {
  const auto at = static_cast<std::size_t>(3 * (row * kWidth + column));
  return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

Bytes mark(const toolkit::MarkingRegion& region, std::size_t* marked) {
  const Bytes input = picture();
  Bytes display(input.size(), 0);
  *marked = toolkit::markRegion(input.data(), kWidth, kHeight, region, display.data());
  return display;
}

TEST(MarkingRegion, ClipsARegionReachingPastThePictureAndKeepsItsLeftAndBottomEdges) {
  std::size_t marked = 0;
  // Columns 1 .. 101 and rows 1 .. 101: only the left and bottom edges
  // fall inside the picture.
  const Bytes display = mark({1, 1, 100, 100, 127}, &marked);
  EXPECT_EQ(marked, 2u);
  EXPECT_EQ(pixel(display, 3, 4), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(pixel(display, 2, 2), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(pixel(display, 1, 1), (std::vector<int>{255, 20, 255}));  // bottom-left corner
  EXPECT_EQ(pixel(display, 4, 1), (std::vector<int>{10, 20, 255}));   // left edge
  EXPECT_EQ(pixel(display, 1, 5), (std::vector<int>{255, 20, 30}));   // bottom edge
  EXPECT_EQ(pixel(display, 0, 0), (std::vector<int>{10, 20, 30}));    // outside
}

TEST(MarkingRegion, ThresholdIsExclusiveAtBothEnds) {
  std::size_t marked = 0;
  Bytes display = mark({0, 0, 6, 5, 128}, &marked);
  EXPECT_EQ(marked, 1u);  // 128 is not above 128
  EXPECT_EQ(pixel(display, 2, 2), (std::vector<int>{128, 128, 128}));
  display = mark({0, 0, 6, 5, 255}, &marked);
  EXPECT_EQ(marked, 0u);
  EXPECT_EQ(pixel(display, 3, 4), (std::vector<int>{255, 255, 255}));
}

TEST(MarkingRegion, HugeRegionsDoNotOverflowAndNegativeOnesOnlyCopy) {
  std::size_t marked = 0;
  Bytes display = mark({0, 0, INT_MAX, INT_MAX, 0}, &marked);
  // Rows and columns 1 .. 4 and 1 .. 5 lie strictly inside.
  EXPECT_EQ(marked, 4u * 5u);
  EXPECT_EQ(pixel(display, 0, 0), (std::vector<int>{255, 20, 255}));  // corner
  EXPECT_EQ(pixel(display, 0, 3), (std::vector<int>{255, 20, 30}));   // bottom edge
  EXPECT_EQ(pixel(display, 2, 0), (std::vector<int>{10, 20, 255}));   // left edge
  display = mark({-1, 0, 3, 3, 0}, &marked);
  EXPECT_EQ(marked, 0u);
  EXPECT_EQ(display, picture());
}

}  // namespace
