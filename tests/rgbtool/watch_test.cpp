// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// watch: a live stream on a real named pipe, fed by a producer process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "rgb/rgb.h"
#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

constexpr int kWidth = 420;
constexpr int kHeight = 510;

// A producer process: opens the pipe, writes frames one by one with the
// library, pausing between them, then optionally a partial frame.
int startProducer(const std::string& pipe, const Bytes& frames, const std::vector<int>& stamps,
                  bool endWithPartialFrame) {
  const int pid = fork();
  if (pid != 0) return pid;
  FILE* stream = openRGBWritePipe(pipe.c_str());
  if (!stream) _exit(3);
  const std::size_t bytes = 3u * kWidth * kHeight;
  for (std::size_t n = 0; n < stamps.size(); ++n) {
    if (writeRGBTimePipe(stream, frames.data() + n * bytes, kWidth, kHeight, &stamps[n]) != 1)
      _exit(4);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  if (endWithPartialFrame) {
    const Bytes header = rgbtest::headerBytes(rgbtest::HeaderFields{});
    std::fwrite(header.data(), 1, 300, stream);
  }
  std::fclose(stream);
  _exit(0);
}

std::string readText(const std::string& path) {
  const Bytes bytes = rgbtest::readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(ToolWatch, LinePerFrameThenSummaryUntilTheProducerCloses) {
  rgbtest::TempDir dir;
  const std::string pipe = dir.file("live");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << "cannot make a named pipe";
  const std::vector<int> stamps{9999960, 9999999, 40, 120};
  const Bytes frames = markableFrames(4, kWidth, kHeight);
  const int watcher = startTool({"watch", pipe}, dir.file("out"), dir.file("err"));
  const int producer = startProducer(pipe, frames, stamps, false);
  EXPECT_EQ(waitFor(producer), 0);
  EXPECT_EQ(waitFor(watcher), 0);
  EXPECT_EQ(readText(dir.file("out")),
            "frame 0: stamp 9999960 ms, 116 marked pixels\n"
            "frame 1: stamp 9999999 ms, interval 39 ms, 126 marked pixels\n"
            "frame 2: stamp 40 ms, interval 41 ms, 136 marked pixels\n"
            "frame 3: stamp 120 ms, interval 80 ms, 146 marked pixels\n"
            "frames: 4, mean rate: 18.750 fps, largest gap: 80 ms\n");
  EXPECT_EQ(readText(dir.file("err")), "");
}

TEST(ToolWatch, PartialFrameAtTheEndFails) {
  rgbtest::TempDir dir;
  const std::string pipe = dir.file("live");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << "cannot make a named pipe";
  const Bytes frames = markableFrames(2, kWidth, kHeight);
  const int watcher = startTool({"watch", pipe}, dir.file("out"), dir.file("err"));
  const int producer = startProducer(pipe, frames, {100, 140}, true);
  EXPECT_EQ(waitFor(producer), 0);
  EXPECT_EQ(waitFor(watcher), 1);
  const std::string out = readText(dir.file("out"));
  EXPECT_NE(out.find("frame 1: stamp 140 ms, interval 40 ms"), std::string::npos) << out;
  EXPECT_NE(out.find("frames: 2, mean rate: 25.000 fps, largest gap: 40 ms\n"), std::string::npos)
      << out;
  const std::string err = readText(dir.file("err"));
  EXPECT_EQ(err, "rgbtool: " + pipe +
                     ": frame 2: the stream ends inside the header of frame 2 (300 of 512 bytes)\n");
}

TEST(ToolWatch, ImportFeedsWatchThroughAPipe) {
  rgbtest::TempDir dir;
  const std::string pipe = dir.file("live");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << "cannot make a named pipe";
  writePpm(dir.file("a.ppm"), patternPicture(8, 6, 2));
  const int watcher = startTool({"watch", pipe}, dir.file("out"), dir.file("err"));
  const Outcome producer = runTool({"import", "--start-ms", "1000", "--interval-ms", "20", pipe,
                                dir.file("a.ppm"), dir.file("a.ppm"), dir.file("a.ppm")});
  EXPECT_EQ(producer.status, 0) << producer.err;
  EXPECT_EQ(waitFor(watcher), 0);
  EXPECT_EQ(readText(dir.file("out")),
            "frame 0: stamp 1000 ms, 0 marked pixels\n"
            "frame 1: stamp 1020 ms, interval 20 ms, 0 marked pixels\n"
            "frame 2: stamp 1040 ms, interval 20 ms, 0 marked pixels\n"
            "frames: 3, mean rate: 50.000 fps, largest gap: 20 ms\n");
}

TEST(ToolWatch, ProducerThatSendsNothing) {
  rgbtest::TempDir dir;
  const std::string pipe = dir.file("live");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << "cannot make a named pipe";
  const int watcher = startTool({"watch", pipe}, dir.file("out"), dir.file("err"));
  const int producer = startProducer(pipe, {}, {}, false);
  EXPECT_EQ(waitFor(producer), 0);
  EXPECT_EQ(waitFor(watcher), 0);
  EXPECT_EQ(readText(dir.file("out")), "frames: 0, mean rate: n/a, largest gap: n/a\n");
}

TEST(ToolWatch, ReadsStandardInput) {
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(2, 6, 5, 1);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 2, 6, 5, {500, 533}));
  RunOptions options;
  options.stdinFile = dir.file("s.rgb");
  const Outcome run = runTool({"watch", "-"}, options);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "frame 0: stamp 500 ms, 0 marked pixels\n"
            "frame 1: stamp 533 ms, interval 33 ms, 0 marked pixels\n"
            "frames: 2, mean rate: 30.303 fps, largest gap: 33 ms\n");
}

}  // namespace
}  // namespace rgbtooltest
