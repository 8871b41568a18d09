// Region-of-interest marking: the viewer's display image, also used by
// rgbtool so that both show exactly the same picture.
#ifndef ZU_KORVE_MARKING_H
#define ZU_KORVE_MARKING_H

#include <cstddef>

namespace zu_korve {

// The fixed region of interest, in pixels. Row 0 is the frame's first
// scanline (the bottom row on screen). Pixels strictly inside the bounds
// are candidates for marking; the edges lie on the bounds themselves.
constexpr int kRoiBottomRow = 300;
constexpr int kRoiTopRow = 500;
constexpr int kRoiLeftColumn = 200;
constexpr int kRoiRightColumn = 400;
// A channel counts as bright above this value.
constexpr unsigned char kBrightThreshold = 190;

// Builds the display image of one interleaved RGB frame of width x height:
// a copy in which pixels inside the region with all three channels bright
// become pure green, then the region's edges drawn in single channels
// (left blue, right green, bottom red, top red and green), clipped to the
// picture. display must hold width * height * 3 bytes and must not overlap
// frame. Returns the number of marked (green) pixels.
std::size_t markRegionOfInterest(const unsigned char* frame, int width,
                                 int height, unsigned char* display);

}  // namespace zu_korve

#endif  // ZU_KORVE_MARKING_H
