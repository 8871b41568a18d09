// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The region-of-interest marking and the display image, without a window.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/viewer/pictures.h"
#include "viewer/display_image.h"
#include "toolkit/marking.h"

// A failed allocation must come back as a null pointer under the address
// sanitizer too, as it does with the C library's allocator.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

namespace viewertest {
namespace {

struct Marked {
  Picture display;
  std::size_t count = 0;
};

// Runs the marking into a display buffer that starts zero-filled.
Marked mark(const Picture& input) {
  Marked result{Picture{input.width, input.height, Bytes(input.rgb.size(), 0)},
                0};
  result.count = toolkit::markRegionOfInterest(
      input.rgb.data(), input.width, input.height, result.display.rgb.data());
  return result;
}

Picture filled(int width, int height, unsigned char value) {
  return Picture{width, height,
                 Bytes(3 * static_cast<std::size_t>(width) *
                           static_cast<std::size_t>(height),
                       value)};
}

using Rgb = std::array<int, 3>;
Rgb rgbAt(const Picture& picture, int row, int column) {
  const unsigned char* p = picture.at(row, column);
  return {p[0], p[1], p[2]};
}

// A pixel set in a black 641 x 561 picture and what the display shows there.
struct Spot {
  int row;
  int column;
  Rgb input;
  Rgb shown;
};

// Marks a black picture with the spots set and checks every spot and the
// number of marked pixels.
void expectMarking(const std::vector<Spot>& spots, std::size_t count) {
  Picture input = filled(641, 561, 0);
  for (const Spot& s : spots)
    input.set(s.row, s.column, static_cast<unsigned char>(s.input[0]),
              static_cast<unsigned char>(s.input[1]),
              static_cast<unsigned char>(s.input[2]));
  const Marked marked = mark(input);
  EXPECT_EQ(marked.count, count);
  for (const Spot& s : spots)
    EXPECT_EQ(rgbAt(marked.display, s.row, s.column), s.shown)
        << "row " << s.row << ", column " << s.column;
}

// ---- thresholds ----

TEST(Marking, WhitePixelInsideTheRegionBecomesPureGreen) {
  Picture input = filled(641, 561, 0);
  input.set(400, 300, 255, 255, 255);
  const Bytes before = input.rgb;
  const Marked marked = mark(input);
  EXPECT_EQ(rgbAt(marked.display, 400, 300), (Rgb{0, 255, 0}));
  EXPECT_EQ(marked.count, 1u);
  EXPECT_EQ(input.rgb, before);
}

TEST(Marking, AllChannelsAbove190AreBright) {
  expectMarking({{301, 201, {191, 191, 191}, {0, 255, 0}}}, 1);
}

TEST(Marking, AnyChannelAt190KeepsThePixel) {
  expectMarking({{400, 300, {190, 255, 255}, {190, 255, 255}},
                 {401, 300, {255, 190, 255}, {255, 190, 255}},
                 {402, 300, {255, 255, 190}, {255, 255, 190}},
                 {350, 250, {190, 190, 190}, {190, 190, 190}},
                 {100, 100, {190, 255, 255}, {190, 255, 255}}},
                0);
}

TEST(Marking, BrightPixelsOutsideTheRegionAreCopied) {
  expectMarking({{0, 0, {255, 255, 255}, {255, 255, 255}},
                 {560, 640, {255, 255, 255}, {255, 255, 255}},
                 {400, 150, {200, 210, 220}, {200, 210, 220}},
                 {550, 300, {255, 255, 255}, {255, 255, 255}}},
                0);
}

// ---- the region's open bounds ----

TEST(Marking, MarksExactlyRows301To499AndColumns201To399) {
  const Marked marked = mark(filled(641, 561, 255));
  EXPECT_EQ(marked.count, 199u * 199u);
  EXPECT_EQ(rgbAt(marked.display, 301, 201), (Rgb{0, 255, 0}));
  EXPECT_EQ(rgbAt(marked.display, 499, 399), (Rgb{0, 255, 0}));
  EXPECT_EQ(rgbAt(marked.display, 301, 399), (Rgb{0, 255, 0}));
  EXPECT_EQ(rgbAt(marked.display, 499, 201), (Rgb{0, 255, 0}));
  EXPECT_EQ(rgbAt(marked.display, 501, 300), (Rgb{255, 255, 255}));
  EXPECT_EQ(rgbAt(marked.display, 299, 300), (Rgb{255, 255, 255}));
  EXPECT_EQ(rgbAt(marked.display, 400, 199), (Rgb{255, 255, 255}));
  EXPECT_EQ(rgbAt(marked.display, 400, 401), (Rgb{255, 255, 255}));
}

TEST(Marking, BrightPixelsOnTheBoundsGetTheEdgeChannelInsteadOfGreen) {
  const Rgb grey{200, 200, 200};
  expectMarking({{300, 250, grey, {255, 200, 200}},   // lower edge
                 {500, 250, grey, {255, 255, 200}},   // upper edge
                 {400, 200, grey, {200, 200, 255}},   // left edge
                 {400, 400, grey, {200, 255, 200}},   // right edge
                 {500, 400, grey, {200, 200, 200}}},  // corner no edge reaches
                0);
}

// ---- edges ----

TEST(Marking, EdgesOfABlackPictureHaveTheirChannelsAndExtent) {
  const Marked marked = mark(filled(641, 561, 0));
  const Picture& d = marked.display;
  EXPECT_EQ(rgbAt(d, 300, 200), (Rgb{255, 0, 255}));  // left and lower
  EXPECT_EQ(rgbAt(d, 499, 200), (Rgb{0, 0, 255}));    // left edge's top
  EXPECT_EQ(rgbAt(d, 500, 200), (Rgb{255, 255, 0}));  // upper edge's start
  EXPECT_EQ(rgbAt(d, 300, 399), (Rgb{255, 0, 0}));    // lower edge's end
  EXPECT_EQ(rgbAt(d, 300, 400), (Rgb{0, 255, 0}));    // right edge's foot
  EXPECT_EQ(rgbAt(d, 499, 400), (Rgb{0, 255, 0}));    // right edge's top
  EXPECT_EQ(rgbAt(d, 500, 399), (Rgb{255, 255, 0}));  // upper edge's end
  EXPECT_EQ(rgbAt(d, 500, 400), (Rgb{0, 0, 0}));      // untouched corner
  EXPECT_EQ(rgbAt(d, 299, 200), (Rgb{0, 0, 0}));
  EXPECT_EQ(rgbAt(d, 300, 199), (Rgb{0, 0, 0}));
  // Four edges of 200 pixels sharing one corner.
  std::size_t lit = 0;
  for (int i = 0; i < d.height; ++i)
    for (int j = 0; j < d.width; ++j)
      if (rgbAt(d, i, j) != Rgb{0, 0, 0}) ++lit;
  EXPECT_EQ(lit, 799u);
  EXPECT_EQ(marked.count, 0u);
}

TEST(Marking, LowerLeftCornerGetsBlueAndRedOverTheInput) {
  expectMarking({{300, 200, {10, 20, 30}, {255, 20, 255}},
                 {500, 400, {10, 20, 30}, {10, 20, 30}}},
                0);
}

// ---- clipping to smaller pictures ----

TEST(Marking, PictureOf480RowsLosesTheUpperEdge) {
  const Marked marked = mark(filled(640, 480, 255));
  EXPECT_EQ(marked.count, 179u * 199u);  // rows 301..479
  const Marked black = mark(filled(640, 480, 0));
  EXPECT_EQ(rgbAt(black.display, 479, 200), (Rgb{0, 0, 255}));
  EXPECT_EQ(rgbAt(black.display, 479, 400), (Rgb{0, 255, 0}));
  EXPECT_EQ(rgbAt(black.display, 479, 300), (Rgb{0, 0, 0}));
  EXPECT_EQ(difference(expectedDisplay(filled(640, 480, 0)), black.display), "");
}

TEST(Marking, Picture350WideLosesTheRightEdge) {
  const Marked marked = mark(filled(350, 561, 255));
  EXPECT_EQ(marked.count, 199u * 149u);  // columns 201..349
  const Marked black = mark(filled(350, 561, 0));
  EXPECT_EQ(rgbAt(black.display, 300, 349), (Rgb{255, 0, 0}));
  EXPECT_EQ(rgbAt(black.display, 500, 349), (Rgb{255, 255, 0}));
  EXPECT_EQ(difference(expectedDisplay(filled(350, 561, 0)), black.display), "");
}

TEST(Marking, PictureOf300RowsOrFewerIsCopiedUnchanged) {
  for (const int height : {300, 299, 1}) {
    const Picture input = samplePicture(641, height, 4);
    const Picture white = filled(641, height, 255);
    EXPECT_EQ(difference(input, mark(input).display), "") << height;
    EXPECT_EQ(difference(white, mark(white).display), "") << height;
    EXPECT_EQ(mark(white).count, 0u) << height;
  }
}

TEST(Marking, NarrowPictureLeftOfTheRegionIsCopiedUnchanged) {
  const Picture white = filled(200, 561, 255);
  EXPECT_EQ(difference(white, mark(white).display), "");
}

TEST(Marking, PicturesOfEverySizeMatchThePixelRules) {
  for (const auto& size : {std::pair{641, 561}, std::pair{401, 501},
                           std::pair{400, 500}, std::pair{201, 301},
                           std::pair{333, 777}, std::pair{1023, 301}}) {
    const Picture input = samplePicture(size.first, size.second, 6);
    EXPECT_EQ(difference(expectedDisplay(input), mark(input).display), "")
        << size.first << "x" << size.second;
  }
}

TEST(Marking, EmptyPictureMarksNothing) {
  unsigned char untouched = 7;
  const unsigned char frame = 255;
  EXPECT_EQ(toolkit::markRegionOfInterest(&frame, 0, 5, &untouched), 0u);
  EXPECT_EQ(toolkit::markRegionOfInterest(&frame, 5, 0, &untouched), 0u);
  EXPECT_EQ(toolkit::markRegionOfInterest(&frame, -3, 5, &untouched), 0u);
  EXPECT_EQ(untouched, 7);
}

// ---- the display image buffer ----

TEST(DisplayImage, HoldsTheMarkedFrame) {
  const Picture input = samplePicture(641, 561, 8);
  unsigned char* display =
      zu_korve::makeDisplayImage(input.rgb.data(), input.width, input.height);
  ASSERT_NE(display, nullptr);
  const Picture shown{input.width, input.height,
                      Bytes(display, display + input.rgb.size())};
  std::free(display);
  EXPECT_EQ(difference(expectedDisplay(input), shown), "");
}

TEST(DisplayImage, RefusesAnEmptySizeWithTheMemoryMessage) {
  const unsigned char frame = 0;
  const rgbtest::Output output = rgbtest::capture([&] {
    EXPECT_EQ(zu_korve::makeDisplayImage(&frame, 0, 4), nullptr);
  });
  EXPECT_EQ(output.err, "no memory for display image.\n");
}

// Virtual memory of this process now, from /proc.
rlim_t addressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  statm >> pages;
  return static_cast<rlim_t>(pages) * 4096;
}

// Leaves the process no room for another large mapping, then asks for a
// display image; ends with 3 when the allocation was refused.
[[noreturn]] void allocateWithoutRoom(const Picture& input, int side) {
  const rlim_t limit = addressSpaceInUse() + (rlim_t{16} << 20);
  rlimit cap;
  cap.rlim_cur = limit;
  cap.rlim_max = limit;
  if (setrlimit(RLIMIT_AS, &cap) != 0) std::_Exit(2);
  unsigned char* display =
      zu_korve::makeDisplayImage(input.rgb.data(), side, side);
  std::_Exit(display ? 0 : 3);
}

TEST(DisplayImageDeathTest, ReportsFailedAllocation) {
  const Picture input = filled(1, 1, 0);
  EXPECT_EXIT(allocateWithoutRoom(input, 8192),  // 192 MiB
              ::testing::ExitedWithCode(3),
              "^no memory for display image\\.\n$");
}

}  // namespace
}  // namespace viewertest
