// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// mark: the viewer's display image without a window.
#include <gtest/gtest.h>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

// The display image of frame `index`, from the independent model.
Bytes expectedDisplay(const Bytes& frames, int index, int width, int height) {
  return rgbtest::markedDisplay(frameAt(frames, index, width, height), width, height);
}

TEST(ToolMark, OutputIsTheDisplayImage) {
  rgbtest::TempDir dir;
  const int width = 640;
  const int height = 520;
  const Bytes frames = markableFrames(2, width, height);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 2, width, height, {1, 2}));
  for (int index = 0; index < 2; ++index) {
    const Outcome run = runTool({"mark", "-y", "--frame", std::to_string(index), dir.file("s.rgb"),
                             dir.file("m.ppm")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const Bytes marked = frameOfPicture(readPpm(dir.file("m.ppm")));
    EXPECT_EQ(marked, expectedDisplay(frames, index, width, height)) << index;
    // Spot checks by hand: a just-bright pixel turned green, one with blue
    // at 190 kept, the left and top edges.
    const auto at = [&](int row, int column) {
      const std::size_t p = 3u * (static_cast<std::size_t>(row) * width + static_cast<std::size_t>(column));
      return Bytes(marked.begin() + static_cast<long>(p), marked.begin() + static_cast<long>(p + 3));
    };
    EXPECT_EQ(at(310, 210), (Bytes{0, 255, 0}));
    EXPECT_EQ(at(405, 305), (Bytes{255, 255, 190}));
    EXPECT_EQ(at(450, 200)[2], 255);
    EXPECT_EQ(at(500, 255), (Bytes{255, 255, 255}));
  }
}

TEST(ToolMark, PngOutputOfASmallPicture) {
  rgbtest::TempDir dir;
  const int width = 350;  // the right edge falls outside
  const int height = 480;
  const Bytes frames = markableFrames(1, width, height);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 1, width, height, {1}));
  ASSERT_EQ(runTool({"mark", dir.file("s.rgb"), dir.file("m.png")}).status, 0);
  const Outcome decode =
      runProgram({"convert", dir.file("m.png"), "-depth", "8", "ppm:" + dir.file("m.ppm")});
  ASSERT_EQ(decode.status, 0) << "ImageMagick's convert is needed: " << decode.err;
  EXPECT_EQ(frameOfPicture(readPpm(dir.file("m.ppm"))), expectedDisplay(frames, 0, width, height));
}

TEST(ToolMark, AllFramesPrintTheirCounts) {
  rgbtest::TempDir dir;
  const int width = 420;
  const int height = 510;
  const Bytes frames = markableFrames(3, width, height);
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frames, 3, width, height, {1, 2, 3}));
  const Outcome run = runTool({"mark", "--all", dir.file("s.rgb"), dir.file("m%d.ppm")});
  ASSERT_EQ(run.status, 0) << run.err;
  for (int n = 0; n < 3; ++n)
    EXPECT_EQ(frameOfPicture(readPpm(dir.file("m" + std::to_string(n) + ".ppm"))),
              expectedDisplay(frames, n, width, height));
  EXPECT_EQ(run.out,
            "frame 0: 116 marked pixels\n"
            "frame 1: 126 marked pixels\n"
            "frame 2: 136 marked pixels\n");
}

TEST(ToolMark, SmallPictureIsUnchanged) {
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(1, 30, 20, 3);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 1, 30, 20, {1}));
  ASSERT_EQ(runTool({"mark", dir.file("s.rgb"), dir.file("m.ppm")}).status, 0);
  EXPECT_EQ(frameOfPicture(readPpm(dir.file("m.ppm"))), frames);
}

}  // namespace
}  // namespace rgbtooltest
