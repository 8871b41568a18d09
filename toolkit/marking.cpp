// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/marking.h"

#include <algorithm>
#include <cstring>

#include "toolkit/frame.h"

namespace toolkit {
namespace {

constexpr unsigned char kFull = 255;

unsigned char* pixelAt(unsigned char* image, int width, int row, int column) {
  return image + kChannels * (static_cast<std::size_t>(row) *
                                  static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(column));
}

bool isBright(const unsigned char* pixel, int threshold) {
  return pixel[0] > threshold && pixel[1] > threshold && pixel[2] > threshold;
}

// Sets the channels in the mask (bit 0 red, 1 green, 2 blue) to full on a
// straight run of pixels from (row, column), skipping what lies outside the
// picture.
void drawEdge(unsigned char* display, int width, int height, int row, int column,
              int rowStep, int columnStep, int length, unsigned channels) {
  for (int n = 0; n < length; ++n, row += rowStep, column += columnStep) {
    if (row >= height || column >= width) continue;
    unsigned char* pixel = pixelAt(display, width, row, column);
    for (std::size_t c = 0; c < kChannels; ++c)
      if (channels & (1u << c)) pixel[c] = kFull;
  }
}

constexpr unsigned kRed = 1u << 0;
constexpr unsigned kGreen = 1u << 1;
constexpr unsigned kBlue = 1u << 2;

// Bounds beyond any picture side (sides come from 16-bit fields) behave
// alike, so clamping them keeps the sums below from overflowing.
constexpr int kBoundLimit = 1 << 20;

}  // namespace

std::size_t markRegion(const unsigned char* frame, int width, int height,
                       const MarkingRegion& region, unsigned char* display) {
  if (width <= 0 || height <= 0) return 0;
  const std::size_t rowBytes = kChannels * static_cast<std::size_t>(width);
  const bool usable = region.x >= 0 && region.y >= 0 && region.width >= 0 &&
                      region.height >= 0;
  const int left = std::min(region.x, kBoundLimit);
  const int bottom = std::min(region.y, kBoundLimit);
  const int right = left + std::min(region.width, kBoundLimit);
  const int top = bottom + std::min(region.height, kBoundLimit);
  std::size_t marked = 0;

  // Pass 1: copy row by row; only rows and columns strictly inside the
  // region need a per-pixel look.
  const int lastMarkedColumn = std::min(right, width);
  for (int i = 0; i < height; ++i) {
    const std::size_t offset = static_cast<std::size_t>(i) * rowBytes;
    std::memcpy(display + offset, frame + offset, rowBytes);
    if (!usable || i <= bottom || i >= top) continue;
    for (int j = left + 1; j < lastMarkedColumn; ++j) {
      unsigned char* out = pixelAt(display, width, i, j);
      if (!isBright(out, region.threshold)) continue;
      out[0] = 0;
      out[1] = kFull;
      out[2] = 0;
      ++marked;
    }
  }
  if (!usable) return marked;

  // Pass 2: the edges, in this order, so that shared corners combine.
  const int edgeRows = top - bottom;
  const int edgeColumns = right - left;
  drawEdge(display, width, height, bottom, left, 1, 0, edgeRows, kBlue);
  drawEdge(display, width, height, bottom, right, 1, 0, edgeRows, kGreen);
  drawEdge(display, width, height, bottom, left, 0, 1, edgeColumns, kRed);
  drawEdge(display, width, height, top, left, 0, 1, edgeColumns, kRed | kGreen);
  return marked;
}

std::size_t markRegionOfInterest(const unsigned char* frame, int width,
                                 int height, unsigned char* display) {
  return markRegion(frame, width, height, kViewerRegion, display);
}

}  // namespace toolkit
