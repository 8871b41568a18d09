// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// export and import: pictures out of and into streams, right way up.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "rgb/rgb.h"
#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string requireConvert() {
  const std::string convert = findProgram("convert");
  if (convert.empty())
    ADD_FAILURE() << "ImageMagick's convert is missing: install imagemagick";
  return convert;
}

// Decodes any picture to an 8-bit PPM with ImageMagick, independently of rgbtool.
Picture decodeWithImageMagick(const std::string& path, const std::string& scratch) {
  const Outcome run = runProgram({"convert", path, "-alpha", "off", "-depth", "8", "ppm:" + scratch});
  EXPECT_EQ(run.status, 0) << run.err;
  return readPpm(scratch);
}

using rgbtest::Loaded;

Loaded load(const std::string& path) { return rgbtest::loadFile(path); }

class ToolRoundTrip : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(ToolRoundTrip, PpmInPpmOutIsIdentical) {
  const auto [width, height] = GetParam();
  rgbtest::TempDir dir;
  const Picture a = patternPicture(width, height, 1);
  const Picture b = patternPicture(width, height, 2);
  writePpm(dir.file("a.ppm"), a);
  writePpm(dir.file("b.ppm"), b);
  const std::string stream = dir.file("s.rgb");
  ASSERT_EQ(runTool({"import", stream, dir.file("a.ppm"), dir.file("b.ppm")}).status, 0);
  ASSERT_EQ(runTool({"export", "--frame", "1", stream, dir.file("out.ppm")}).status, 0);
  EXPECT_EQ(rgbtest::readFile(dir.file("out.ppm")), ppmBytes(b));
  ASSERT_EQ(runTool({"export", stream, dir.file("out0.ppm")}).status, 0);
  EXPECT_EQ(rgbtest::readFile(dir.file("out0.ppm")), ppmBytes(a));
}

TEST_P(ToolRoundTrip, PngInPngOutHasTheSamePixels) {
  const auto [width, height] = GetParam();
  rgbtest::TempDir dir;
  if (requireConvert().empty()) return;
  const Picture a = patternPicture(width, height, 3);
  writePpm(dir.file("a.ppm"), a);
  ASSERT_EQ(runProgram({"convert", dir.file("a.ppm"), dir.file("a.png")}).status, 0);
  const std::string stream = dir.file("s.rgb");
  ASSERT_EQ(runTool({"import", stream, dir.file("a.png")}).status, 0);
  ASSERT_EQ(runTool({"export", stream, dir.file("out.png")}).status, 0);
  const Picture back = decodeWithImageMagick(dir.file("out.png"), dir.file("back.ppm"));
  EXPECT_EQ(back.width, width);
  EXPECT_EQ(back.height, height);
  EXPECT_EQ(back.rgb, a.rgb);
}

INSTANTIATE_TEST_SUITE_P(OddSizes, ToolRoundTrip,
                         ::testing::Values(std::make_pair(1, 1), std::make_pair(37, 23),
                                           std::make_pair(3, 101), std::make_pair(641, 7)));

TEST(ToolExport, StreamRowZeroIsTheBottomRow) {
  rgbtest::TempDir dir;
  const int width = 5;
  const int height = 4;
  const Bytes frames = rgbtest::patternImage(2, width, height, 9);
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frames, 2, width, height, {1, 2}));
  ASSERT_EQ(runTool({"export", "-f", "1", dir.file("s.rgb"), dir.file("o.ppm")}).status, 0);
  const Picture out = readPpm(dir.file("o.ppm"));
  // The picture's top row is the stream's last scanline of frame 1.
  const std::size_t row = 3u * width;
  const std::size_t lastScanline = (1u * height + (height - 1)) * row;
  EXPECT_EQ(Bytes(out.rgb.begin(), out.rgb.begin() + static_cast<long>(row)),
            Bytes(frames.begin() + static_cast<long>(lastScanline),
                  frames.begin() + static_cast<long>(lastScanline + row)));
  EXPECT_EQ(out.rgb, pictureOfFrame(frames, 1, width, height).rgb);
}

TEST(ToolExport, AllFramesWithANumberedName) {
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(3, 6, 5, 4);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 3, 6, 5, {1, 2, 3}));
  const Outcome run = runTool({"export", "--all", dir.file("s.rgb"), dir.file("f%03d.ppm")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  for (int n = 0; n < 3; ++n) {
    const std::string name = dir.file("f00" + std::to_string(n) + ".ppm");
    EXPECT_EQ(readPpm(name).rgb, pictureOfFrame(frames, n, 6, 5).rgb) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("f003.ppm")));
}

TEST(ToolExport, AZeroPaddingWidthIsRefusedBeforeAnyFile) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(2, 4, 3), 2, 4, 3, {1, 2}));
  const Outcome run = runTool({"export", "--all", dir.file("s.rgb"), dir.file("f%00d.ppm")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "rgbtool: '" + dir.file("f%00d.ppm") +
                         "': only %d, %0Nd (N at most 9) and %% may follow a %\n");
  for (const char* name : {"f0.ppm", "f1.ppm", "f00.ppm", "f01.ppm", "f%00d.ppm"})
    EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
}

TEST(ToolExport, FromStandardInputToStandardOutput) {
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(3, 4, 3, 6);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 3, 4, 3, {1, 2, 3}));
  RunOptions options;
  options.stdinFile = dir.file("s.rgb");
  const Outcome run = runTool({"export", "--frame", "2", "--format", "ppm", "-", "-"}, options);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(parsePpm(Bytes(run.out.begin(), run.out.end())).rgb,
            pictureOfFrame(frames, 2, 4, 3).rgb);
}

TEST(ToolExport, MissingFrameFails) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(2, 4, 3), 2, 4, 3, {1, 2}));
  const Outcome run = runTool({"export", "--frame", "2", dir.file("s.rgb"), dir.file("o.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "rgbtool: " + dir.file("s.rgb") + ": has only 2 frames\n")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.ppm")));
}

TEST(ToolExport, DamagedFrameFailsWithTheLibraryMessage) {
  rgbtest::TempDir dir;
  Bytes bytes = rgbtest::streamBytes(rgbtest::patternImage(2, 4, 3), 2, 4, 3, {1, 2});
  bytes[548 + 2] = 1;  // second frame claims compression
  rgbtest::writeFile(dir.file("s.rgb"), bytes);
  const Outcome run = runTool({"export", "--frame", "1", dir.file("s.rgb"), dir.file("o.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "ERROR: image not uncompressed: 1.\n")) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.ppm")));
}

TEST(ToolExport, UnwritableOutputFails) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(1, 4, 3), 1, 4, 3, {1}));
  const Outcome run = runTool({"export", dir.file("s.rgb"), dir.file("no/such/dir/o.png")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "cannot create")) << run.err;
}

TEST(ToolImport, StampsFromStartAndIntervalAcrossTheWrap) {
  rgbtest::TempDir dir;
  for (int n = 0; n < 3; ++n) writePpm(dir.file(std::to_string(n) + ".ppm"), patternPicture(3, 3, 5));
  ASSERT_EQ(runTool({"import", "--start-ms", "9999960", "--interval-ms", "25", dir.file("s.rgb"),
                     dir.file("0.ppm"), dir.file("1.ppm"), dir.file("2.ppm")})
                .status,
            0);
  EXPECT_EQ(load(dir.file("s.rgb")).stamps, (std::vector<int>{9999960, 9999985, 10}));
}

TEST(ToolImport, StampsFromTheClock) {
  rgbtest::TempDir dir;
  writePpm(dir.file("a.ppm"), patternPicture(3, 3, 5));
  const int before = get_time();
  ASSERT_EQ(runTool({"import", dir.file("s.rgb"), dir.file("a.ppm"), dir.file("a.ppm")}).status, 0);
  const int after = get_time();
  const Loaded loaded = load(dir.file("s.rgb"));
  ASSERT_EQ(loaded.frames, 2);
  for (const int stamp : loaded.stamps) {
    // Compared on the wrapping clock: before <= stamp <= after.
    const int sinceBefore = (stamp - before + 10000000) % 10000000;
    const int untilAfter = (after - stamp + 10000000) % 10000000;
    EXPECT_LE(sinceBefore, 60000) << stamp;
    EXPECT_LE(untilAfter, 60000) << stamp;
  }
}

TEST(ToolImport, AppendsToAnExistingStream) {
  rgbtest::TempDir dir;
  const Picture a = patternPicture(4, 2, 1);
  writePpm(dir.file("a.ppm"), a);
  const std::vector<std::string> once{"import", "--start-ms", "0", "--interval-ms", "40",
                                      dir.file("s.rgb"), dir.file("a.ppm")};
  ASSERT_EQ(runTool(once).status, 0);
  ASSERT_EQ(runTool(once).status, 0);
  const Loaded loaded = load(dir.file("s.rgb"));
  EXPECT_EQ(loaded.frames, 2);
  EXPECT_EQ(loaded.pixels, [&] {
    Bytes both = frameOfPicture(a);
    rgbtest::append(both, frameOfPicture(a));
    return both;
  }());
}

TEST(ToolImport, ToStandardOutput) {
  rgbtest::TempDir dir;
  writePpm(dir.file("a.ppm"), patternPicture(6, 4, 1));
  writePpm(dir.file("b.ppm"), patternPicture(6, 4, 2));
  const std::vector<std::string> stamps{"--start-ms", "70", "--interval-ms", "40"};
  std::vector<std::string> toFile{"import"};
  toFile.insert(toFile.end(), stamps.begin(), stamps.end());
  std::vector<std::string> toStdout = toFile;
  toFile.push_back(dir.file("s.rgb"));
  toStdout.push_back("-");
  for (auto* args : {&toFile, &toStdout}) {
    args->push_back(dir.file("a.ppm"));
    args->push_back(dir.file("b.ppm"));
  }
  ASSERT_EQ(runTool(toFile).status, 0);
  const Outcome run = runTool(toStdout);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Bytes(run.out.begin(), run.out.end()), rgbtest::readFile(dir.file("s.rgb")));
}

TEST(ToolImport, DifferentSizesAppendNothing) {
  rgbtest::TempDir dir;
  writePpm(dir.file("a.ppm"), patternPicture(4, 2, 1));
  writePpm(dir.file("b.ppm"), patternPicture(2, 4, 1));
  const Outcome run = runTool({"import", dir.file("s.rgb"), dir.file("a.ppm"), dir.file("b.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "rgbtool: " + dir.file("b.ppm") + " is 2 x 4 but " +
                               dir.file("a.ppm") +
                               " is 4 x 2: all pictures must have the same size; nothing "
                               "appended\n"))
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("s.rgb")));

  // An existing stream of another size stays as it was.
  rgbtest::writeFile(dir.file("t.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(1, 3, 3), 1, 3, 3, {1}));
  const Bytes before = rgbtest::readFile(dir.file("t.rgb"));
  const Outcome other = runTool({"import", dir.file("t.rgb"), dir.file("a.ppm")});
  EXPECT_EQ(other.status, 1);
  EXPECT_TRUE(has(other.err, "holds 3 x 3 RGB frames, cannot append 4 x 2 RGB frames")) << other.err;
  EXPECT_EQ(rgbtest::readFile(dir.file("t.rgb")), before);
}

TEST(ToolImport, RefusesToAppendAfterAPartialFrame) {
  rgbtest::TempDir dir;
  writePpm(dir.file("a.ppm"), patternPicture(3, 3, 1));
  Bytes bytes = rgbtest::streamBytes(rgbtest::patternImage(1, 3, 3), 1, 3, 3, {1});
  bytes.insert(bytes.end(), 7, 0);
  rgbtest::writeFile(dir.file("t.rgb"), bytes);
  const Outcome run = runTool({"import", dir.file("t.rgb"), dir.file("a.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "ends in 7 bytes of a partial frame")) << run.err;
  EXPECT_EQ(rgbtest::readFile(dir.file("t.rgb")), bytes);
}

TEST(ToolImport, BrokenPictureMidwayAppendsNothing) {
  rgbtest::TempDir dir;
  writePpm(dir.file("a.ppm"), patternPicture(3, 3, 1));
  Bytes broken = ppmBytes(patternPicture(3, 3, 2));
  broken.resize(broken.size() - 5);  // the header is fine, the raster is short
  rgbtest::writeFile(dir.file("b.ppm"), broken);
  const Bytes existing = rgbtest::streamBytes(rgbtest::patternImage(1, 3, 3), 1, 3, 3, {1});
  rgbtest::writeFile(dir.file("s.rgb"), existing);
  const Outcome run = runTool({"import", dir.file("s.rgb"), dir.file("a.ppm"), dir.file("a.ppm"),
                           dir.file("b.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "PPM: picture data ends early")) << run.err;
  EXPECT_TRUE(has(run.err, "nothing appended")) << run.err;
  EXPECT_EQ(rgbtest::readFile(dir.file("s.rgb")), existing);
}

TEST(ToolImport, NotAPicture) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("x.png"), Bytes{'h', 'e', 'l', 'l', 'o'});
  const Outcome run = runTool({"import", dir.file("s.rgb"), dir.file("x.png")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "png: damaged, or not a valid png picture")) << run.err;
}

// PNG kinds that libpng turns into RGB; ImageMagick makes each and also
// says what RGB pixels it holds.
class ToolPngKinds : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(ToolPngKinds, ImportGivesTheSamePixelsAsImageMagick) {
  rgbtest::TempDir dir;
  if (requireConvert().empty()) return;
  writePpm(dir.file("a.ppm"), patternPicture(19, 11, 7));
  std::vector<std::string> make{"convert", dir.file("a.ppm")};
  for (const std::string& option : GetParam()) make.push_back(option);
  make.push_back(dir.file("kind.png"));
  ASSERT_EQ(runProgram(make).status, 0);
  ASSERT_EQ(runTool({"import", dir.file("s.rgb"), dir.file("kind.png")}).status, 0);
  ASSERT_EQ(runTool({"export", dir.file("s.rgb"), dir.file("out.ppm")}).status, 0);
  const Picture expected = decodeWithImageMagick(dir.file("kind.png"), dir.file("ref.ppm"));
  EXPECT_EQ(readPpm(dir.file("out.ppm")).rgb, expected.rgb);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ToolPngKinds,
    ::testing::Values(std::vector<std::string>{"-colorspace", "Gray"},
                      std::vector<std::string>{"-colors", "16", "-type", "Palette"},
                      std::vector<std::string>{"-depth", "16"},
                      std::vector<std::string>{"-alpha", "set", "-channel", "A", "-evaluate",
                                               "set", "40%", "+channel"},
                      std::vector<std::string>{"-interlace", "PNG"}));

TEST(ToolImport, PlainAndSixteenBitPpm) {
  rgbtest::TempDir dir;
  // 2 x 1, plain PPM with a comment and maxval 15, and the same as 16-bit.
  rgbtest::writeFile(dir.file("plain.ppm"),
                     Bytes{'P', '3', '\n', '#', ' ', 'c', '\n', '2', ' ', '1', '\n', '1', '5', '\n',
                           '0', ' ', '5', ' ', '1', '5', '\n', '1', ' ', '2', ' ', '3', '\n'});
  rgbtest::writeFile(dir.file("wide.ppm"), Bytes{'P', '6', ' ', '2', ' ', '1', ' ', '6', '5', '5',
                                                 '3', '5', '\n', 0, 0, 0x55, 0x55, 0xff, 0xff,
                                                 0x01, 0x01, 0x02, 0x02, 0x03, 0x03});
  ASSERT_EQ(runTool({"import", dir.file("a.rgb"), dir.file("plain.ppm")}).status, 0);
  ASSERT_EQ(runTool({"import", dir.file("b.rgb"), dir.file("wide.ppm")}).status, 0);
  EXPECT_EQ(load(dir.file("a.rgb")).pixels, (Bytes{0, 85, 255, 17, 34, 51}));
  EXPECT_EQ(load(dir.file("b.rgb")).pixels, (Bytes{0, 85, 255, 1, 2, 3}));
}

}  // namespace
}  // namespace rgbtooltest
