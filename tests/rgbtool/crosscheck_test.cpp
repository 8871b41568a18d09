// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Independent implementations agree: netpbm's sgitopnm on our frames, and
// SGI files written by ImageMagick read by rgbtool.
#include <gtest/gtest.h>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

void requireProgram(const std::string& name, const std::string& package) {
  ASSERT_FALSE(findProgram(name).empty())
      << name << " is missing: install the Debian package " << package
      << " (scripts/install-deps does)";
}

TEST(ToolCrossCheck, ExportEqualsNetpbmSgitopnm) {
  requireProgram("sgitopnm", "netpbm");
  rgbtest::TempDir dir;
  for (const auto& [width, height] : {std::make_pair(37, 23), std::make_pair(1, 9),
                                      std::make_pair(640, 3)}) {
    const Bytes frames = rgbtest::patternImage(1, width, height, 8);
    rgbtest::writeFile(dir.file("f.rgb"),
                       rgbtest::streamBytes(frames, 1, width, height, {123456}));
    const Outcome netpbm = runProgram({"sgitopnm", dir.file("f.rgb")});
    ASSERT_EQ(netpbm.status, 0) << netpbm.err;
    ASSERT_EQ(runTool({"export", "-y", dir.file("f.rgb"), dir.file("ours.ppm")}).status, 0);
    const Picture theirs = parsePpm(Bytes(netpbm.out.begin(), netpbm.out.end()));
    const Picture ours = readPpm(dir.file("ours.ppm"));
    EXPECT_EQ(ours.width, theirs.width);
    EXPECT_EQ(ours.height, theirs.height);
    EXPECT_EQ(ours.rgb, theirs.rgb) << width << " x " << height;
  }
}

class ToolImageMagickSgi : public ::testing::TestWithParam<bool> {};

TEST_P(ToolImageMagickSgi, InfoCheckAndExportReadItWithTheSamePixels) {
  requireProgram("convert", "imagemagick");
  const bool withAlpha = GetParam();
  rgbtest::TempDir dir;
  writePpm(dir.file("in.ppm"), patternPicture(45, 31, 4));
  std::vector<std::string> make{"convert", dir.file("in.ppm")};
  if (withAlpha) {
    for (const char* option : {"-alpha", "set", "-channel", "A", "-evaluate", "set", "50%",
                               "+channel"})
      make.push_back(option);
  }
  for (const char* option : {"-depth", "8", "-compress", "None"}) make.push_back(option);
  make.push_back("sgi:" + dir.file("im.sgi"));
  ASSERT_EQ(runProgram(make).status, 0);
  const Bytes sgi = rgbtest::readFile(dir.file("im.sgi"));
  ASSERT_GE(sgi.size(), 12u);
  ASSERT_EQ(sgi[11], withAlpha ? 4 : 3) << "ImageMagick wrote an unexpected ZSIZE";

  const Outcome info = runTool({"info", dir.file("im.sgi")});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("  frames:       1\n  size:         45 x 31\n  planes:       " +
                          std::string(withAlpha ? "RGBA" : "RGB") + "\n"),
            std::string::npos)
      << info.out;
  const Outcome check = runTool({"check", dir.file("im.sgi")});
  EXPECT_EQ(check.status, 0) << check.out;

  ASSERT_EQ(runTool({"export", dir.file("im.sgi"), dir.file("ours.ppm")}).status, 0);
  const Outcome theirs = runProgram({"convert", "sgi:" + dir.file("im.sgi"), "-alpha", "off",
                                 "-depth", "8", "ppm:" + dir.file("theirs.ppm")});
  ASSERT_EQ(theirs.status, 0) << theirs.err;
  EXPECT_EQ(readPpm(dir.file("ours.ppm")).rgb, readPpm(dir.file("theirs.ppm")).rgb);
  EXPECT_EQ(readPpm(dir.file("ours.ppm")).rgb, readPpm(dir.file("in.ppm")).rgb);
}

INSTANTIATE_TEST_SUITE_P(RgbAndRgba, ToolImageMagickSgi, ::testing::Values(false, true));

}  // namespace
}  // namespace rgbtooltest
