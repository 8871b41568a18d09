// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Region-of-interest marking: the viewer's display image, also used by
// rgbtool and rgbplay so that all of them show exactly the same picture.
#ifndef TOOLKIT_MARKING_H
#define TOOLKIT_MARKING_H

#include <cstddef>

namespace toolkit {

// A region of interest and the brightness threshold used inside it, in
// pixels. Row 0 is the frame's first scanline (the bottom row on screen).
// The bounds are columns x and x + width, rows y and y + height: pixels
// strictly inside them are candidates for marking, and the edges lie on the
// bounds themselves. A channel counts as bright above `threshold`.
struct MarkingRegion {
  int x;
  int y;
  int width;
  int height;
  int threshold;
};

// The viewer's fixed region of interest, in pixels.
constexpr int kRoiBottomRow = 300;
constexpr int kRoiTopRow = 500;
constexpr int kRoiLeftColumn = 200;
constexpr int kRoiRightColumn = 400;
// A channel counts as bright above this value.
constexpr unsigned char kBrightThreshold = 190;

constexpr MarkingRegion kViewerRegion{kRoiLeftColumn, kRoiBottomRow,
                                      kRoiRightColumn - kRoiLeftColumn,
                                      kRoiTopRow - kRoiBottomRow, kBrightThreshold};

// Builds the display image of one interleaved RGB frame of width x height:
// a copy in which pixels inside the region with all three channels bright
// become pure green, then the region's edges drawn in single channels
// (left blue, right green, bottom red, top red and green), clipped to the
// picture. display must hold width * height * 3 bytes and must not overlap
// frame. Returns the number of marked (green) pixels. A region with a
// negative position or size marks nothing and draws no edge; bounds past
// the picture are clipped. The threshold is used as given: below 0 every
// channel is bright, from 255 up none is.
std::size_t markRegion(const unsigned char* frame, int width, int height,
                       const MarkingRegion& region, unsigned char* display);

// markRegion with the viewer's region and threshold.
std::size_t markRegionOfInterest(const unsigned char* frame, int width,
                                 int height, unsigned char* display);

}  // namespace toolkit

#endif  // TOOLKIT_MARKING_H
