// mark: the viewer's display image without a window.
#include <gtest/gtest.h>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"
#include "viewer/marking.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

// Frames with bright blocks inside and around the region of interest.
Bytes brightFrames(int frames, int width, int height) {
  Bytes image = rgbtest::patternImage(frames, width, height, 11);
  for (int n = 0; n < frames; ++n)
    for (int row = 250; row < std::min(height, 550); ++row)
      for (int column = 150 + 10 * n; column < std::min(width, 450); column += 2) {
        const std::size_t at =
            3u * ((static_cast<std::size_t>(n) * static_cast<std::size_t>(height) +
                   static_cast<std::size_t>(row)) *
                      static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(column));
        image[at] = 200;
        image[at + 1] = 255;
        image[at + 2] = static_cast<unsigned char>(191 + n);
      }
  return image;
}

struct Marked {
  Bytes display;
  std::size_t count = 0;
};

Marked markFrame(const Bytes& frames, int index, int width, int height) {
  const std::size_t bytes = 3u * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  Marked marked;
  marked.display.assign(bytes, 0);
  marked.count = zu_korve::markRegionOfInterest(frames.data() + bytes * static_cast<std::size_t>(index),
                                                width, height, marked.display.data());
  return marked;
}

TEST(ToolMark, OutputEqualsTheViewersDisplayImage) {
  rgbtest::TempDir dir;
  const int width = 640;
  const int height = 520;
  const Bytes frames = brightFrames(2, width, height);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 2, width, height, {1, 2}));
  for (int index = 0; index < 2; ++index) {
    const Outcome run = runTool({"mark", "--frame", std::to_string(index), dir.file("s.rgb"),
                             dir.file("m.ppm")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const Marked expected = markFrame(frames, index, width, height);
    ASSERT_GT(expected.count, 0u);
    EXPECT_EQ(frameOfPicture(readPpm(dir.file("m.ppm"))), expected.display) << index;
  }
}

TEST(ToolMark, PngOutputOfASmallPicture) {
  rgbtest::TempDir dir;
  const int width = 350;  // the right edge falls outside
  const int height = 480;
  const Bytes frames = brightFrames(1, width, height);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 1, width, height, {1}));
  ASSERT_EQ(runTool({"mark", dir.file("s.rgb"), dir.file("m.png")}).status, 0);
  const Outcome decode =
      runProgram({"convert", dir.file("m.png"), "-depth", "8", "ppm:" + dir.file("m.ppm")});
  ASSERT_EQ(decode.status, 0) << "ImageMagick's convert is needed: " << decode.err;
  EXPECT_EQ(frameOfPicture(readPpm(dir.file("m.ppm"))), markFrame(frames, 0, width, height).display);
}

TEST(ToolMark, AllFramesPrintTheirCounts) {
  rgbtest::TempDir dir;
  const int width = 420;
  const int height = 510;
  const Bytes frames = brightFrames(3, width, height);
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frames, 3, width, height, {1, 2, 3}));
  const Outcome run = runTool({"mark", "--all", dir.file("s.rgb"), dir.file("m%d.ppm")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected;
  for (int n = 0; n < 3; ++n) {
    const Marked marked = markFrame(frames, n, width, height);
    expected += "frame " + std::to_string(n) + ": " + std::to_string(marked.count) +
                " marked pixels\n";
    EXPECT_EQ(frameOfPicture(readPpm(dir.file("m" + std::to_string(n) + ".ppm"))),
              marked.display);
  }
  EXPECT_EQ(run.out, expected);
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
