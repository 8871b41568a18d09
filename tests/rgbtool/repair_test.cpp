// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// repair: exactly the whole frames of the stream's size, over a table of
// the damage crashes, full disks and careless appends leave.
#include <gtest/gtest.h>

#include "tests/rgbtool/edit_streams.h"
#include "tests/rgbtool/json_lines.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

const std::vector<int32_t> kStamps{100, 140, 180, 220, 260, 300};
constexpr std::size_t kFrame = 512 + 5 * 4 * 3;

Bytes frames(std::initializer_list<int> indices) { return framesOf(kStamps, indices); }

Bytes joined(std::initializer_list<Bytes> pieces) {
  Bytes all;
  for (const Bytes& piece : pieces) rgbtest::append(all, piece);
  return all;
}

Bytes badMagic(int n) {
  Bytes frame = patternFrame(n, kStamps[static_cast<std::size_t>(n)]);
  frame[1] = 0xDB;
  return frame;
}

// What a crash mid-frame leaves: the frame's first bytes only.
Bytes cutShort(int n, std::size_t keep) {
  Bytes frame = patternFrame(n, kStamps[static_cast<std::size_t>(n)]);
  frame.resize(keep);
  return frame;
}

struct RepairCase {
  std::string name;
  Bytes damaged;
  Bytes kept;                      // the repaired stream, byte for byte
  std::vector<std::string> kinds;  // the dropped stretches, in order
};

TEST(ToolRepair, KeepsExactlyTheWholeFrames) {
  rgbtest::TempDir dir;
  const Bytes garbage(37, 0x5A);
  const Bytes otherSize = rgbtest::frameBytes(rgbtest::patternImage(1, 3, 3), 0, 3, 3, 200);
  const std::vector<RepairCase> cases{
      {"clean", frames({0, 1, 2}), frames({0, 1, 2}), {}},
      {"bad header in the middle", joined({frames({0, 1}), badMagic(2), frames({3, 4})}),
       frames({0, 1, 3, 4}), {"bad_header"}},
      {"bad first header", joined({badMagic(0), frames({1, 2})}), frames({1, 2}), {"bad_header"}},
      {"partial tail", joined({frames({0, 1}), cutShort(2, 300)}), frames({0, 1}), {"partial"}},
      {"partial header at the tail", joined({frames({0, 1}), cutShort(2, 100)}), frames({0, 1}),
       {"partial"}},
      {"size change", joined({frames({0, 1}), otherSize, frames({2, 3})}), frames({0, 1, 2, 3}),
       {"other_size"}},
      {"garbage between frames", joined({frames({0}), garbage, frames({1, 2})}), frames({0, 1, 2}),
       {"bad_header"}},
      {"frame cut short by the next", joined({frames({0}), cutShort(1, 400), frames({2, 3})}),
       frames({0, 2, 3}), {"bad_header"}},
      {"several faults", joined({frames({0}), garbage, frames({1}), badMagic(2), frames({3}),
                                 otherSize, frames({4}), cutShort(5, 500)}),
       frames({0, 1, 3, 4}), {"bad_header", "bad_header", "other_size", "partial"}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const RepairCase& c = cases[i];
    const std::string in = dir.file("in" + std::to_string(i) + ".rgb");
    const std::string out = dir.file("out" + std::to_string(i) + ".rgb");
    rgbtest::writeFile(in, c.damaged);
    const Outcome run = runTool({"repair", "--json", in, out});
    EXPECT_EQ(run.status, 0) << c.name << run.err;
    EXPECT_EQ(rgbtest::readFile(out), c.kept) << c.name;
    std::vector<std::string> kinds;
    uint64_t covered = 0;
    for (const nlohmann::json& line : jsonLines(run.out)) {
      if (line.contains("summary")) continue;
      EXPECT_EQ(line["offset"].get<uint64_t>(), covered) << c.name;
      covered += line["bytes"].get<uint64_t>();
      if (!line["kept"].get<bool>()) kinds.push_back(line["kind"].get<std::string>());
    }
    EXPECT_EQ(covered, c.damaged.size()) << c.name << ": the stretches cover the file";
    EXPECT_EQ(kinds, c.kinds) << c.name;
  }
}

TEST(ToolRepair, WordsAndInPlace) {
  rgbtest::TempDir dir;
  const std::string in = dir.file("in.rgb");
  rgbtest::writeFile(in, joined({frames({0, 1}), badMagic(2), frames({3})}));
  const Outcome run = runTool({"repair", "--in-place", in});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, in + ": bytes 0-" + std::to_string(2 * kFrame - 1) + " kept: frames 0-1\n" +
                         in + ": bytes " + std::to_string(2 * kFrame) + "-" +
                         std::to_string(3 * kFrame - 1) +
                         " dropped: a damaged frame header (wrong magic number: not an RGB "
                         "stream)\n" +
                         in + ": bytes " + std::to_string(3 * kFrame) + "-" +
                         std::to_string(4 * kFrame - 1) + " kept: frames 2-2\n" + in +
                         ": 3 frames kept, " + std::to_string(kFrame) + " bytes dropped\n");
  EXPECT_EQ(rgbtest::readFile(in), frames({0, 1, 3}));
  // Clean now: left alone.
  EXPECT_EQ(runTool({"repair", "--in-place", in}).status, 0);
  EXPECT_EQ(rgbtest::readFile(in), frames({0, 1, 3}));

  rgbtest::writeFile(dir.file("junk.rgb"), Bytes(2000, 7));
  const Outcome junk = runTool({"repair", dir.file("junk.rgb"), dir.file("none.rgb")});
  EXPECT_EQ(junk.status, 1);
  EXPECT_NE(junk.err.find("no whole frame to keep"), std::string::npos) << junk.err;
  EXPECT_EQ(runTool({"repair", in}).status, 2);
}

// check, info and export tell what repair would keep, and a smaller frame
// at the end is a size change rather than stray bytes.
TEST(ToolRepair, CheckInfoAndExportSayWhatFollowsDamage) {
  rgbtest::TempDir dir;
  const std::string damaged = dir.file("damaged.rgb");
  rgbtest::writeFile(damaged, joined({frames({0, 1}), badMagic(2), frames({3, 4, 5})}));
  const Outcome check = runTool({"check", damaged});
  EXPECT_EQ(check.out, damaged +
                           ": FAILED, frame 2: ERROR: image has wrong magic number: 475. not an "
                           "IRIS/RGB file.; 3 whole frames follow (rgbtool repair keeps 5)\n");
  const Outcome info = runTool({"info", "--json", damaged});
  const std::vector<nlohmann::json> lines = jsonLines(info.out);
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_EQ(lines[0]["frames_after_damage"], 3);
  EXPECT_EQ(lines[0]["repair_keeps"], 5);
  const Outcome exported =
      runTool({"export", "--all", "--format", "ppm", damaged, dir.file("f%d.ppm")});
  EXPECT_EQ(exported.status, 1);
  EXPECT_EQ(exported.err, "rgbtool: " + damaged +
                              ": frame 2: ERROR: image has wrong magic number: 475. not an "
                              "IRIS/RGB file.; 2 frames written, 3 whole frames follow (rgbtool "
                              "repair keeps 5)\n");

  // Smaller and larger frames appended: a size change, not stray bytes.
  for (const int side : {2, 7}) {
    const std::string grown = dir.file("grown" + std::to_string(side) + ".rgb");
    rgbtest::writeFile(grown, joined({frames({0, 1}),
                                      rgbtest::frameBytes(rgbtest::patternImage(1, side, side), 0,
                                                          side, side, 9)}));
    EXPECT_EQ(runTool({"check", grown}).out,
              grown + ": FAILED, frame 2: " + std::to_string(side) + " x " +
                  std::to_string(side) +
                  " RGB differs from the first frame's 5 x 4 RGB; 0 whole frames follow "
                  "(rgbtool repair keeps 2)\n");
  }
}

}  // namespace
}  // namespace rgbtooltest
