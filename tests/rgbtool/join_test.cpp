// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// join: every frame of every stream in order, byte for byte; seams whose
// stamps go back are named; streams that cannot be joined are refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/rgbtool/edit_streams.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

// Stamps of one recording across the wrap of the cycle, cut in three.
const std::vector<int32_t> kStamps{9999920, 9999960, 0, 40, 80, 120, 160};

struct JoinCase {
  std::string name;
  std::vector<std::vector<int>> parts;  // frames of kStamps in each IN
  std::string warning;                  // expected on stderr; empty: none
};

TEST(ToolJoin, FramesInOrderAndSeamsThatGoBack) {
  rgbtest::TempDir dir;
  const std::vector<JoinCase> cases{
      {"across the wrap", {{0, 1}, {2, 3, 4}, {5, 6}}, ""},
      {"one stream", {{0, 1, 2}}, ""},
      {"back at the second seam", {{0, 1}, {5, 6}, {3, 4}},
       "warning: seam 2: IN2's first stamp 40 ms goes back 120 ms from IN1's last stamp 160 ms"},
      {"repeat", {{0, 1, 2}, {2, 3}}, "warning: seam 1: IN1's first stamp 0 ms repeats IN0's last stamp 0 ms"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const JoinCase& c = cases[i];
    std::vector<std::string> args{"join", dir.file("out" + std::to_string(i) + ".rgb")};
    Bytes expected;
    std::string warning = c.warning;
    for (std::size_t p = 0; p < c.parts.size(); ++p) {
      const std::string name = dir.file("in" + std::to_string(i) + "_" + std::to_string(p));
      rgbtest::writeFile(name, framesOf(kStamps, c.parts[p]));
      rgbtest::append(expected, framesOf(kStamps, c.parts[p]));
      args.push_back(name);
      const std::string tag = "IN" + std::to_string(p);
      for (std::size_t at; (at = warning.find(tag)) != std::string::npos;)
        warning.replace(at, tag.size(), name);
    }
    const Outcome run = runTool(args);
    EXPECT_EQ(run.status, 0) << c.name << run.err;
    EXPECT_EQ(rgbtest::readFile(args[1]), expected) << c.name;
    EXPECT_EQ(run.err.find("warning"), warning.empty() ? std::string::npos : run.err.find(warning))
        << c.name << ": " << run.err;
  }
}

TEST(ToolJoin, RefusesWhatCannotBeJoined) {
  rgbtest::TempDir dir;
  const std::string a = dir.file("a.rgb");
  const std::string wide = dir.file("wide.rgb");
  const std::string damaged = dir.file("damaged.rgb");
  rgbtest::writeFile(a, framesOf(kStamps, {0, 1}));
  rgbtest::writeFile(wide, rgbtest::frameBytes(rgbtest::patternImage(1, 6, 4), 0, 6, 4, 0));
  Bytes bad = framesOf(kStamps, {2, 3});
  bad.resize(bad.size() - 10);
  rgbtest::writeFile(damaged, bad);

  const Outcome size = runTool({"join", dir.file("o1.rgb"), a, wide});
  EXPECT_EQ(size.status, 1);
  EXPECT_NE(size.err.find(wide + ": frames of 6 x 4 RGB, not " + a + "'s 5 x 4 RGB"),
            std::string::npos)
      << size.err;
  const Outcome broken = runTool({"join", dir.file("o2.rgb"), a, damaged});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find(damaged + ": frame 1: the file ends inside a frame"),
            std::string::npos)
      << broken.err;
  const Outcome itself = runTool({"join", "-y", a, a, a});
  EXPECT_EQ(itself.status, 1);
  rgbtest::writeFile(dir.file("empty.rgb"), {});
  const Outcome nothing = runTool({"join", dir.file("o3.rgb"), dir.file("empty.rgb")});
  EXPECT_EQ(nothing.status, 1);
  EXPECT_NE(nothing.err.find("no IN has a frame"), std::string::npos) << nothing.err;
  for (const char* out : {"o1.rgb", "o2.rgb", "o3.rgb"})
    EXPECT_NE(access(dir.file(out).c_str(), F_OK), 0) << out << " was left";
  EXPECT_EQ(rgbtest::readFile(a), framesOf(kStamps, {0, 1}));
}

// A pipe in and standard output through a pipe: read once, written in order.
TEST(ToolJoin, PipeInPipeOut) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("a.rgb"), framesOf(kStamps, {0, 1, 2}));
  rgbtest::writeFile(dir.file("b.rgb"), framesOf(kStamps, {3, 4}));
  const Outcome run = runProgram(
      {"sh", "-c",
       "cat " + quoted(dir.file("b.rgb")) + " | " + quoted(RGBTOOL_PATH) + " join - " +
           quoted(dir.file("a.rgb")) + " - | cat > " + quoted(dir.file("out.rgb"))});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(rgbtest::readFile(dir.file("out.rgb")), framesOf(kStamps, {0, 1, 2, 3, 4}));
}

}  // namespace
}  // namespace rgbtooltest
