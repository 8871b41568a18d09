// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// check: exit status 0 only for clean streams.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

Bytes stream(int frames, uint16_t zsize = 3) {
  std::vector<int32_t> stamps;
  for (int n = 0; n < frames; ++n) stamps.push_back(40 * n);
  return rgbtest::streamBytes(rgbtest::patternImage(frames, 5, 4), frames, 5, 4, stamps, zsize);
}

struct Case {
  std::string name;
  Bytes bytes;
  int status;
  std::string verdict;
};

TEST(ToolCheck, VerdictPerKindOfFile) {
  rgbtest::TempDir dir;
  Bytes stray = stream(2);
  stray.insert(stray.end(), 9, 0);
  Bytes badHeader = stream(3);
  badHeader[2 * 572 + 3] = 2;  // third frame: two bytes per channel
  Bytes resized = stream(1);
  rgbtest::append(resized, rgbtest::streamBytes(rgbtest::patternImage(1, 4, 5), 1, 4, 5, {1}));
  Bytes truncated = stream(2);
  truncated.resize(truncated.size() - 1);
  const std::vector<Case> cases{
      {"clean.rgb", stream(3), 0, "ok, 3 frames of 5 x 4 RGB"},
      {"rgba.rgb", stream(2, 4), 0, "ok, 2 frames of 5 x 4 RGBA"},
      {"stray.rgb", stray, 1, "FAILED, 9 stray bytes after the last frame"},
      {"truncated.rgb", truncated, 1, "FAILED, 571 stray bytes after the last frame"},
      {"header.rgb", badHeader, 1,
       "FAILED, frame 2: ERROR: image has not 1 byte per pixel channel: 2.; 0 whole frames follow "
       "(rgbtool repair keeps 2)"},
      {"resized.rgb", resized, 1,
       "FAILED, frame 1: 4 x 5 RGB differs from the first frame's 5 x 4 RGB; 0 whole frames "
       "follow (rgbtool repair keeps 1)"},
      {"empty.rgb", {}, 1, "FAILED, empty file"},
      {"short.rgb", Bytes(100, 0), 1, "FAILED, too short for a frame header (100 bytes)"},
  };
  for (const Case& c : cases) {
    rgbtest::writeFile(dir.file(c.name), c.bytes);
    const Outcome run = runTool({"check", dir.file(c.name)});
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(run.out, dir.file(c.name) + ": " + c.verdict + "\n");
  }
}

TEST(ToolCheck, OneBadFileFailsTheRun) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("a.rgb"), stream(2));
  rgbtest::writeFile(dir.file("b.rgb"), stream(1));
  EXPECT_EQ(runTool({"check", dir.file("a.rgb"), dir.file("b.rgb")}).status, 0);
  const Outcome run = runTool({"check", dir.file("a.rgb"), dir.file("missing.rgb"), dir.file("b.rgb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, dir.file("a.rgb") + ": ok, 2 frames of 5 x 4 RGB\n" +
                         dir.file("missing.rgb") +
                         ": FAILED, cannot open: No such file or directory\n" +
                         dir.file("b.rgb") + ": ok, 1 frame of 5 x 4 RGB\n");
}

TEST(ToolCheck, QuietPrintsNothing) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("a.rgb"), stream(2));
  rgbtest::writeFile(dir.file("bad.rgb"), Bytes(10, 1));
  const Outcome good = runTool({"check", "-q", dir.file("a.rgb")});
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out, "");
  const Outcome bad = runTool({"check", "--quiet", dir.file("bad.rgb")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "");
}

TEST(ToolCheck, StreamOnStandardInput) {
  rgbtest::TempDir dir;
  Bytes bytes = stream(3);
  bytes.resize(bytes.size() - 10);
  rgbtest::writeFile(dir.file("s.rgb"), bytes);
  RunOptions options;
  options.stdinFile = dir.file("s.rgb");
  const Outcome run = runTool({"check", "-"}, options);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "-: FAILED, 562 stray bytes after the last frame\n");
}

TEST(ToolProgress, DrawnOnlyWhenStderrIsATerminal) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"), stream(4));
  const Outcome quiet = runTool({"export", "--all", dir.file("s.rgb"), dir.file("f%d.ppm")});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  RunOptions options;
  options.stderrTerminal = true;
  const Outcome shown = runTool({"export", "--all", dir.file("s.rgb"), dir.file("g%d.ppm")}, options);
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("writing frames ["), std::string::npos) << shown.err;
  EXPECT_NE(shown.err.find("100%"), std::string::npos) << shown.err;
  EXPECT_EQ(shown.out, "");
}

TEST(ToolProgress, ResultLinesStayWholeNextToTheBar) {
  rgbtest::TempDir dir;
  const int width = 420;
  const int height = 510;
  const Bytes frames = markableFrames(3, width, height);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 3, width, height, {1, 2, 3}));
  RunOptions options;
  options.stderrTerminal = true;
  const Outcome run = runTool({"mark", "--all", dir.file("s.rgb"), dir.file("m%d.ppm")}, options);
  EXPECT_EQ(run.status, 0);
  const Outcome plain = runTool({"mark", "--all", dir.file("s.rgb"), dir.file("n%d.ppm")});
  EXPECT_EQ(plain.err, "");
  const std::string lines =
      "frame 0: 116 marked pixels\n"
      "frame 1: 126 marked pixels\n"
      "frame 2: 136 marked pixels\n";
  EXPECT_EQ(run.out, lines);
  EXPECT_EQ(plain.out, lines);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3);
  EXPECT_NE(run.err.find("writing frames ["), std::string::npos) << run.err;
}

}  // namespace
}  // namespace rgbtooltest
