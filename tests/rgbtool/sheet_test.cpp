// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Pictures rgbtool draws itself: contact sheets (sheet) and interval plots
// (info --plot), read back with ImageMagick.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

Picture decodePng(const std::string& png, const std::string& scratch) {
  if (findProgram("convert").empty()) {
    ADD_FAILURE() << "ImageMagick's convert is missing: install imagemagick";
    return {};
  }
  const Outcome run = runProgram({"convert", png, "-alpha", "off", "-depth", "8", "ppm:" + scratch});
  EXPECT_EQ(run.status, 0) << run.err;
  return readPpm(scratch);
}

Rgb at(const Picture& p, int x, int y) {
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
                         static_cast<std::size_t>(x)) * 3;
  return {p.rgb[i], p.rgb[i + 1], p.rgb[i + 2]};
}

// Frames each of one solid colour, in frame order.
Bytes solidFrames(const std::vector<Rgb>& colours, int width, int height) {
  Bytes frames;
  for (const Rgb& c : colours)
    for (int i = 0; i < width * height; ++i) {
      frames.push_back(static_cast<unsigned char>(c.r));
      frames.push_back(static_cast<unsigned char>(c.g));
      frames.push_back(static_cast<unsigned char>(c.b));
    }
  return frames;
}

const std::vector<Rgb> kColours{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}};
const Rgb kBackground{32, 32, 32};

// The layout in the help: 8-pixel gaps around tiles, a 15-pixel caption
// strip under each, tiles as wide as frames up to 320 pixels. So 100 x 30
// frames in two columns sit 108 pixels apart across and 53 down.
constexpr int kGap = 8;
constexpr int kStrip = 15;

bool brightIn(const Picture& p, int x0, int y0, int w, int h) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x)
      if (at(p, x, y).r > 200 && at(p, x, y).g > 200 && at(p, x, y).b > 200) return true;
  return false;
}

TEST(ToolSheet, TilesInRowsWithACaptionUnderEach) {
  rgbtest::TempDir dir;
  const int w = 100;
  const int h = 30;
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(solidFrames(kColours, w, h), 5, w, h,
                                                             {100, 140, 180, 9'999'999, 260}));
  const Outcome run = runTool({"sheet", "--columns", "2", dir.file("s.rgb"), dir.file("sheet.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  const Picture sheet = decodePng(dir.file("sheet.png"), dir.file("sheet.ppm"));
  EXPECT_EQ(sheet.width, kGap + 2 * (w + kGap));
  EXPECT_EQ(sheet.height, kGap + 3 * (h + kStrip + kGap));
  if (sheet.rgb.empty()) return;
  for (int i = 0; i < 5; ++i) {
    const int x = kGap + (i % 2) * (w + kGap);
    const int y = kGap + (i / 2) * (h + kStrip + kGap);
    SCOPED_TRACE("tile " + std::to_string(i));
    EXPECT_EQ(at(sheet, x, y), kColours[static_cast<std::size_t>(i)]);
    EXPECT_EQ(at(sheet, x + w - 1, y + h - 1), kColours[static_cast<std::size_t>(i)]);
    EXPECT_EQ(at(sheet, x - 1, y), kBackground);
    EXPECT_EQ(at(sheet, x + w, y + h - 1), kBackground);
    EXPECT_TRUE(brightIn(sheet, x, y + h, w, kStrip)) << "no caption";
  }
  // The sixth place is empty, caption and all.
  EXPECT_EQ(at(sheet, kGap + w + kGap, kGap + 2 * (h + kStrip + kGap)), kBackground);
  EXPECT_FALSE(brightIn(sheet, kGap + w + kGap, kGap + 2 * (h + kStrip + kGap), w, h + kStrip));
  EXPECT_EQ(at(sheet, 0, 0), kBackground);
}

// From a pipe, every second frame: frames 0, 2 and 4 in one row.
TEST(ToolSheet, EveryNthFrameFromStandardInput) {
  rgbtest::TempDir dir;
  const int w = 100;
  const int h = 30;
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(solidFrames(kColours, w, h), 5, w, h,
                                                             {0, 40, 80, 120, 160}));
  RunOptions options;
  options.stdinFile = dir.file("s.rgb");
  const Outcome run = runTool({"sheet", "--every", "2", "-", dir.file("sheet.png")}, options);
  ASSERT_EQ(run.status, 0) << run.err;
  const Picture sheet = decodePng(dir.file("sheet.png"), dir.file("sheet.ppm"));
  EXPECT_EQ(sheet.width, kGap + 3 * (w + kGap));
  EXPECT_EQ(sheet.height, kGap + h + kStrip + kGap);
  if (sheet.rgb.empty()) return;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(at(sheet, kGap + i * (w + kGap) + w / 2, kGap + h / 2),
              kColours[static_cast<std::size_t>(2 * i)])
        << "tile " << i;
}

// Top row first, and a tile half the frame's width still shows each half's
// colour in its place.
TEST(ToolSheet, TopRowFirstAndShrunkToTheTileWidth) {
  rgbtest::TempDir dir;
  Picture picture{200, 40, {}};
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) {
      const Rgb c = y < 20 ? (x < 100 ? Rgb{255, 0, 0} : Rgb{0, 255, 0}) : Rgb{0, 0, 255};
      picture.rgb.push_back(static_cast<unsigned char>(c.r));
      picture.rgb.push_back(static_cast<unsigned char>(c.g));
      picture.rgb.push_back(static_cast<unsigned char>(c.b));
    }
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frameOfPicture(picture), 1, 200, 40, {1234}));
  const Outcome run =
      runTool({"sheet", "--tile-width", "100", dir.file("s.rgb"), dir.file("sheet.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  const Picture sheet = decodePng(dir.file("sheet.png"), dir.file("sheet.ppm"));
  EXPECT_EQ(sheet.height, kGap + 20 + kStrip + kGap);
  if (sheet.rgb.empty()) return;
  EXPECT_EQ(at(sheet, kGap, kGap), (Rgb{255, 0, 0}));
  EXPECT_EQ(at(sheet, kGap + 49, kGap + 9), (Rgb{255, 0, 0}));
  EXPECT_EQ(at(sheet, kGap + 50, kGap), (Rgb{0, 255, 0}));
  EXPECT_EQ(at(sheet, kGap + 99, kGap + 9), (Rgb{0, 255, 0}));
  EXPECT_EQ(at(sheet, kGap, kGap + 10), (Rgb{0, 0, 255}));
  EXPECT_EQ(at(sheet, kGap + 99, kGap + 19), (Rgb{0, 0, 255}));
}

TEST(ToolSheet, DamagedStreamFailsWithoutAPicture) {
  rgbtest::TempDir dir;
  Bytes stream = rgbtest::streamBytes(solidFrames(kColours, 10, 10), 5, 10, 10, {0, 1, 2, 3, 4});
  stream.resize(stream.size() - 7);
  rgbtest::writeFile(dir.file("cut.rgb"), stream);
  const Outcome run = runTool({"sheet", "--every", "2", dir.file("cut.rgb"), dir.file("sheet.png")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("rgbtool: " + dir.file("cut.rgb") + ": frame 4"), std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("sheet.png")));
}

// Plot pixels by hue: the line is blue, stamps going backwards are red.
bool isRed(const Rgb& c) { return c.r > 150 && c.g < 80 && c.b < 80; }
bool isBlue(const Rgb& c) { return c.b > 150 && c.r < 80; }

struct Marks {
  std::vector<std::pair<int, int>> red;   // (x, y)
  std::vector<std::pair<int, int>> blue;
};

Marks marksOf(const Picture& p) {
  Marks m;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      if (isRed(at(p, x, y))) m.red.emplace_back(x, y);
      if (isBlue(at(p, x, y))) m.blue.emplace_back(x, y);
    }
  return m;
}

std::string plotStream(const rgbtest::TempDir& dir, const std::vector<int32_t>& stamps,
                       Picture& plot) {
  const int n = static_cast<int>(stamps.size());
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(n, 2, 2), n, 2, 2, stamps));
  const Outcome run = runTool({"info", "--plot", dir.file("plot.png"), dir.file("s.rgb")});
  EXPECT_EQ(run.status, 0) << run.err;
  plot = decodePng(dir.file("plot.png"), dir.file("plot.ppm"));
  return run.out;
}

TEST(ToolPlot, SteadyIntervalsAreOneFlatLine) {
  rgbtest::TempDir dir;
  Picture plot;
  const std::string out =
      plotStream(dir, {9'999'900, 9'999'940, 9'999'980, 20, 60, 100, 140, 180, 220}, plot);
  EXPECT_NE(out.find("frames:       9"), std::string::npos) << out;  // info still reports
  EXPECT_EQ(plot.width, 800);
  EXPECT_EQ(plot.height, 400);
  const Marks marks = marksOf(plot);
  EXPECT_TRUE(marks.red.empty());
  ASSERT_GT(marks.blue.size(), 100u);
  for (const auto& point : marks.blue) EXPECT_EQ(point.second, marks.blue[0].second);
  EXPECT_EQ(at(plot, 799, 0), (Rgb{255, 255, 255}));
}

// 40 ms apart, except frame 4 (20 ms before frame 3) and frame 7 (a 400 ms
// gap): a red mark under the line at frame 4, the line's peak at frame 7.
TEST(ToolPlot, BackwardsStampIsRedBelowTheLineAndAGapIsItsPeak) {
  rgbtest::TempDir dir;
  Picture plot;
  plotStream(dir, {0, 40, 80, 120, 100, 140, 180, 580, 620, 660}, plot);
  ASSERT_EQ(plot.width, 800);
  const Marks marks = marksOf(plot);
  ASSERT_FALSE(marks.red.empty());
  ASSERT_FALSE(marks.blue.empty());
  // The steady 40 ms level: the row holding the most line pixels.
  std::map<int, int> perRow;
  for (const auto& point : marks.blue) ++perRow[point.second];
  int steadyRow = 0;
  for (const auto& [row, count] : perRow)
    if (count > perRow[steadyRow]) steadyRow = row;
  const auto peak = *std::min_element(marks.blue.begin(), marks.blue.end(),
                                      [](const auto& a, const auto& b) { return a.second < b.second; });
  for (const auto& point : marks.red) {
    EXPECT_GT(point.second, steadyRow);
    EXPECT_LT(point.first, peak.first);
  }
  // Nine intervals spread evenly: frame 4's mark lies halfway from frame 1
  // to frame 7's peak (3 of 6 steps).
  const int redX = marks.red[0].first;
  const int firstX = std::min_element(marks.blue.begin(), marks.blue.end())->first;
  EXPECT_NEAR(redX - firstX, (peak.first - firstX) / 2, 3);
}

TEST(ToolPlot, TakesOneStream) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(2, 2, 2), 2, 2, 2, {0, 40}));
  const Outcome run = runTool(
      {"info", "--plot", dir.file("plot.png"), dir.file("s.rgb"), dir.file("s.rgb")});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.file("plot.png")));
}

}  // namespace
}  // namespace rgbtooltest
