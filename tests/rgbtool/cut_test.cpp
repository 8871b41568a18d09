// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// cut: the frames chosen, byte for byte, by index and by time across the
// wrap of the stamp cycle; through the kernel's copy and through a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "rgbtool/edit/byte_copy.h"
#include "tests/rgbtool/edit_streams.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

// Eight frames 40 ms apart whose stamps wrap after the third: on the
// timeline they lie at 0, 40, ... 280 ms.
const std::vector<int32_t> kStamps{9999900, 9999940, 9999980, 20, 60, 100, 140, 180};

struct CutCase {
  std::vector<std::string> options;
  std::vector<int> frames;  // the frames of the input OUT must hold
};

TEST(ToolCut, ChosenFramesByteForByte) {
  rgbtest::TempDir dir;
  const std::string in = dir.file("in.rgb");
  rgbtest::writeFile(in, framesOf(kStamps, allFrames(kStamps.size())));
  const std::vector<CutCase> cases{
      {{}, {0, 1, 2, 3, 4, 5, 6, 7}},
      {{"--start", "2", "--count", "3"}, {2, 3, 4}},
      {{"--step", "3"}, {0, 3, 6}},
      {{"--start", "1", "--step", "2", "--count", "2"}, {1, 3}},
      {{"--from", "80ms", "--to", "200ms"}, {2, 3, 4}},
      {{"--from", "0.1s"}, {3, 4, 5, 6, 7}},
      {{"--to", "41ms"}, {0, 1}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string out = dir.file("out" + std::to_string(i) + ".rgb");
    std::vector<std::string> args{"cut"};
    args.insert(args.end(), cases[i].options.begin(), cases[i].options.end());
    args.insert(args.end(), {in, out});
    const Outcome run = runTool(args);
    EXPECT_EQ(run.status, 0) << i << run.err;
    EXPECT_EQ(rgbtest::readFile(out), framesOf(kStamps, cases[i].frames)) << i;
  }
}

TEST(ToolCut, RangePastTheEndSaysHowManyExist) {
  rgbtest::TempDir dir;
  const std::string in = dir.file("in.rgb");
  rgbtest::writeFile(in, framesOf(kStamps, allFrames(kStamps.size())));
  const Outcome shortRun = runTool({"cut", "--start", "6", "--count", "5", in, dir.file("a.rgb")});
  EXPECT_EQ(shortRun.status, 0);
  EXPECT_NE(shortRun.err.find("warning: asked for 5 frames from frame 6, the stream has 8 frames; " +
                              dir.file("a.rgb") + " has the 2 frames there are"),
            std::string::npos)
      << shortRun.err;
  EXPECT_EQ(rgbtest::readFile(dir.file("a.rgb")), framesOf(kStamps, {6, 7}));

  const Outcome none = runTool({"cut", "--start", "8", in, dir.file("b.rgb")});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("no frame in the range"), std::string::npos) << none.err;
  EXPECT_NE(access(dir.file("b.rgb").c_str(), F_OK), 0) << "an empty stream was left";
}

TEST(ToolCut, DamageInTheRangeFailsAndLeavesNoOutput) {
  rgbtest::TempDir dir;
  Bytes bytes = framesOf(kStamps, allFrames(4));
  bytes[3 * 572] = 0;  // frame 3's magic number
  rgbtest::writeFile(dir.file("in.rgb"), bytes);
  EXPECT_EQ(runTool({"cut", "--count", "3", dir.file("in.rgb"), dir.file("ok.rgb")}).status, 0);
  EXPECT_EQ(rgbtest::readFile(dir.file("ok.rgb")), framesOf(kStamps, {0, 1, 2}));
  const Outcome run = runTool({"cut", "--start", "2", dir.file("in.rgb"), dir.file("bad.rgb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("frame 3: a damaged frame header"), std::string::npos) << run.err;
  EXPECT_NE(access(dir.file("bad.rgb").c_str(), F_OK), 0);
}

// Pipes on both sides: frames read in order from stdin, written to stdout.
TEST(ToolCut, PipeInPipeOut) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("in.rgb"), framesOf(kStamps, allFrames(kStamps.size())));
  const Outcome run = runProgram(
      {"sh", "-c",
       "cat " + quoted(dir.file("in.rgb")) + " | " + quoted(RGBTOOL_PATH) +
           " cut --from 40ms --to 130ms - - | cat > " + quoted(dir.file("out.rgb"))});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(rgbtest::readFile(dir.file("out.rgb")), framesOf(kStamps, {1, 2, 3}));
}

// The copy goes through the kernel between files and falls back to reading
// and writing for a pipe; the bytes are the same either way.
TEST(EditCopy, KernelBetweenFilesPlainIntoAPipe) {
  rgbtest::TempDir dir;
  Bytes bytes(3 << 20);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 / 5);
  rgbtest::writeFile(dir.file("in"), bytes);
  const int in = open(dir.file("in").c_str(), O_RDONLY);
  ASSERT_GE(in, 0);
  const off_t offset = 1001;
  const uint64_t length = bytes.size() - 2000;
  const Bytes expected(bytes.begin() + offset, bytes.begin() + offset + static_cast<off_t>(length));

  const int file = open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  rgbtool::edit::CopyCount count;
  std::string error;
  EXPECT_TRUE(rgbtool::edit::copyRange(in, offset, length, file, count, error)) << error;
  close(file);
  EXPECT_EQ(count.kernelBytes, length);
  EXPECT_EQ(rgbtest::readFile(dir.file("out")), expected);

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const int reader = ends[0];
  const int writer = ends[1];
  Bytes got;
  count = {};
  std::thread drain([&] {
    unsigned char piece[65536];
    for (ssize_t n; (n = read(reader, piece, sizeof piece)) > 0;) got.insert(got.end(), piece, piece + n);
  });
  EXPECT_TRUE(rgbtool::edit::copyRange(in, offset, length, writer, count, error)) << error;
  close(writer);
  drain.join();
  close(reader);
  close(in);
  EXPECT_EQ(count.kernelBytes, 0U);
  EXPECT_EQ(count.copiedBytes, length);
  EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace rgbtooltest
