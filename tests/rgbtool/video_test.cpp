// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// video: streams encoded through FFmpeg, checked with Debian's ffprobe and
// ffmpeg as independent readers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void requireFfmpeg() {
  if (findProgram("ffprobe").empty() || findProgram("ffmpeg").empty())
    FAIL() << "ffprobe/ffmpeg missing: install Debian's ffmpeg (scripts/deps/video.txt)";
}

// Presentation times of the video's frames in ms, as ffprobe reads them. A
// video still being written may end anywhere: then what can be read counts.
std::vector<long> frameTimesMs(const std::string& video, bool complete = true) {
  const Outcome probe = runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                    "-show_entries", "frame=pts_time", "-of", "csv=p=0", video});
  if (complete) {
    EXPECT_EQ(probe.status, 0) << probe.err;
  }
  std::vector<long> times;
  std::istringstream lines(probe.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    times.push_back(std::lround(std::strtod(line.c_str(), nullptr) * 1000));
  }
  return times;
}

struct VideoSize {
  int width = 0;
  int height = 0;
};

VideoSize videoSize(const std::string& video) {
  const Outcome probe =
      runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                  "stream=width,height", "-of", "csv=p=0:s=x", video});
  EXPECT_EQ(probe.status, 0) << probe.err;
  VideoSize size;
  EXPECT_EQ(std::sscanf(probe.out.c_str(), "%dx%d", &size.width, &size.height), 2) << probe.out;
  return size;
}

// Every decoded frame as RGB, one frame per video frame (no frames repeated
// or dropped to fit a constant rate).
Bytes decodeRgb(const std::string& video, const std::string& raw) {
  const Outcome run = runProgram({"ffmpeg", "-v", "error", "-y", "-i", video, "-fps_mode",
                                  "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", raw});
  EXPECT_EQ(run.status, 0) << run.err;
  return rgbtest::readFile(raw);
}

std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ToolVideoContainer : public ::testing::TestWithParam<std::string> {};

// Irregular intervals (40, 1, 100, 1000 ms) across the wrap of the clock's
// 10,000-second cycle: the times keep rising from the first frame.
TEST_P(ToolVideoContainer, FrameTimesAreTheStampsFromTheFirstFrame) {
  requireFfmpeg();
  rgbtest::TempDir dir;
  const int width = 64;
  const int height = 48;
  const std::vector<int32_t> stamps{9'999'950, 9'999'990, 30, 31, 131, 1131};
  const Bytes frames = rgbtest::patternImage(6, width, height, 4);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 6, width, height, stamps));
  const std::string video = dir.file("out." + GetParam());
  const Outcome run = runTool({"video", dir.file("s.rgb"), video});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(frameTimesMs(video), (std::vector<long>{0, 40, 80, 81, 181, 1181}));
  const VideoSize size = videoSize(video);
  EXPECT_EQ(size.width, width);
  EXPECT_EQ(size.height, height);
}

INSTANTIATE_TEST_SUITE_P(Containers, ToolVideoContainer, ::testing::Values("mp4", "mkv"));

class ToolVideoLossless
    : public ::testing::TestWithParam<std::pair<std::vector<std::string>, std::string>> {};

// Odd sides, so that nothing is padded or subsampled on the way.
TEST_P(ToolVideoLossless, DecodedFramesAreTheStreamsPixels) {
  requireFfmpeg();
  rgbtest::TempDir dir;
  const int width = 37;
  const int height = 23;
  const Bytes frames = rgbtest::patternImage(3, width, height, 7);
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frames, 3, width, height, {500, 540, 600}));
  const std::string video = dir.file(GetParam().second);
  std::vector<std::string> args{"video"};
  for (const std::string& option : GetParam().first) args.push_back(option);
  args.push_back(dir.file("s.rgb"));
  args.push_back(video);
  const Outcome run = runTool(args);
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes decoded = decodeRgb(video, dir.file("out.raw"));
  const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 3;
  ASSERT_EQ(decoded.size(), 3 * frameBytes);
  for (std::size_t i = 0; i < 3; ++i) {
    const Bytes got(decoded.begin() + static_cast<long>(i * frameBytes),
                    decoded.begin() + static_cast<long>((i + 1) * frameBytes));
    EXPECT_EQ(got, pictureOfFrame(frames, static_cast<int>(i), width, height).rgb)
        << "frame " << i;
  }
  EXPECT_EQ(frameTimesMs(video), (std::vector<long>{0, 40, 100}));
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, ToolVideoLossless,
    ::testing::Values(std::make_pair(std::vector<std::string>{"--codec", "ffv1"}, "out.mkv"),
                      std::make_pair(std::vector<std::string>{"--codec", "libx264rgb", "--crf",
                                                              "0"},
                                     "out.mp4")));

// A stamp that does not move forward adds no time: the frame is shown 1 ms
// after the one before, the frames after it keep their own spacing, and
// the note counts such frames as check does.
TEST(ToolVideo, StampsThatDoNotMoveForwardKeepTheFramesInOrderAndTheirSpacing) {
  requireFfmpeg();
  const struct {
    const char* what;
    std::vector<int32_t> stamps;
    std::vector<long> times;
    int notForward;
  } cases[] = {
      {"back, then a repeat, across the wrap",
       {9'999'990, 30, 20, 20, 70},
       {0, 40, 41, 42, 90},
       2},
      {"a long step back, then 40 ms steps",
       {5000, 5040, 4000, 4040, 4080, 4120},
       {0, 40, 41, 80, 120, 160},
       1},
      {"two equal stamps in a row, nothing going back", {0, 40, 40, 80}, {0, 40, 41, 80}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rgbtest::TempDir dir;
    const int count = static_cast<int>(c.stamps.size());
    const Bytes frames = rgbtest::patternImage(count, 16, 8, 6);
    rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, count, 16, 8, c.stamps));
    const Outcome run = runTool({"video", dir.file("s.rgb"), dir.file("out.mkv")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(has(run.err, std::to_string(c.notForward) +
                                 " frame(s) stamped no later than the frame before"))
        << run.err;
    EXPECT_EQ(frameTimesMs(dir.file("out.mkv")), c.times);
    // The same frames as check counts.
    const Outcome check = runTool({"check", "--json", dir.file("s.rgb")});
    std::size_t warnings = 0;
    for (std::size_t at = 0; (at = check.out.find("\"previous_stamp_ms\"", at)) != std::string::npos;
         ++at)
      ++warnings;
    EXPECT_EQ(warnings, static_cast<std::size_t>(c.notForward)) << check.out;
  }
}

TEST(ToolVideo, OddSidesArePaddedForYuv420AndSaidSo) {
  requireFfmpeg();
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(2, 37, 23, 1);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 2, 37, 23, {0, 40}));
  const Outcome run = runTool({"video", dir.file("s.rgb"), dir.file("out.mp4")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(has(run.err, "37 x 23 padded to 38 x 24")) << run.err;
  const VideoSize size = videoSize(dir.file("out.mp4"));
  EXPECT_EQ(size.width, 38);
  EXPECT_EQ(size.height, 24);
}

// Frames done on a terminal, of how many when the length is known; nothing
// on stderr otherwise (checked with the containers above).
TEST(ToolVideo, ProgressOnATerminal) {
  requireFfmpeg();
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(3, 16, 8, 3);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 3, 16, 8, {0, 40, 80}));
  RunOptions options;
  options.stderrTerminal = true;
  const Outcome file = runTool({"video", dir.file("s.rgb"), dir.file("a.mkv")}, options);
  EXPECT_EQ(file.status, 0) << file.err;
  EXPECT_TRUE(has(file.err, "encoding frame 3 of 3 (100%)")) << file.err;
  // Through a pipe the length is unknown.
  const Outcome piped = runProgram(
      {"sh", "-c", "cat \"$1\" | \"$2\" video - \"$3\"", "sh", dir.file("s.rgb"), RGBTOOL_PATH,
       dir.file("b.mkv")},
      options);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_TRUE(has(piped.err, "encoding frame 1")) << piped.err;
  EXPECT_FALSE(has(piped.err, " of ")) << piped.err;
}

// A stream cut off inside its third frame: the reason, status 1, and neither
// the video nor a temporary file left in the folder.
TEST(ToolVideo, DamagedStreamLeavesNoVideo) {
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(3, 16, 8, 2);
  Bytes stream = rgbtest::streamBytes(frames, 3, 16, 8, {0, 40, 80});
  stream.resize(stream.size() - 100);
  const std::string input = dir.file("cut.rgb");
  rgbtest::writeFile(input, stream);
  for (const std::string name : {"out.mp4", "out.mkv"}) {
    const Outcome run = runTool({"video", input, dir.file(name)});
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_TRUE(has(run.err, "rgbtool: " + input + ": frame 2")) << run.err;
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"cut.rgb"});
  }
  const Outcome bad = runTool({"video", "--codec", "no-such-encoder", input, dir.file("x.mkv")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(has(bad.err, "no-such-encoder")) << bad.err;
  // AVI keeps no time per frame.
  const Outcome avi = runTool({"video", input, dir.file("x.avi")});
  EXPECT_EQ(avi.status, 1);
  EXPECT_TRUE(has(avi.err, ".mp4 or .mkv")) << avi.err;
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"cut.rgb"});
}

// Opens a named pipe for writing once its reader has opened it, failing after
// ten seconds instead of blocking for ever.
int openPipeForWriting(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

bool writeAll(int fd, const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// While the producer still holds the pipe open, the frames sent so far are
// already in the video being written: a reader can decode them.
TEST(ToolVideo, NamedPipeIsEncodedAsItArrives) {
  requireFfmpeg();
  rgbtest::TempDir dir;
  rgbtest::TempDir logs;
  const std::string pipe = dir.file("live");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << "cannot make a named pipe";
  const int width = 32;
  const int height = 24;
  const int count = 6;
  // 2 s apart, so that the container closes a cluster every few frames.
  const std::vector<int32_t> stamps{1000, 3000, 5000, 7000, 9000, 11000};
  const Bytes frames = rgbtest::patternImage(count, width, height, 5);
  const int tool = startTool({"video", "--codec", "ffv1", pipe, dir.file("out.mkv")},
                             logs.file("out"), logs.file("err"));
  const int fd = openPipeForWriting(pipe);
  ASSERT_GE(fd, 0) << "rgbtool never opened the pipe";
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(writeAll(fd, rgbtest::frameBytes(frames, i, width, height, stamps[static_cast<std::size_t>(i)])));

  // The video under its temporary name, the only other file in the folder.
  std::size_t seen = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (seen < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const std::string& name : entries(dir.path())) {
      if (name == "live") continue;
      seen = std::max(seen, frameTimesMs(dir.file(name), false).size());
    }
  }
  EXPECT_GE(seen, 3u) << "frames sent were not encoded while the pipe stayed open";

  for (int i = 4; i < count; ++i)
    ASSERT_TRUE(writeAll(fd, rgbtest::frameBytes(frames, i, width, height, stamps[static_cast<std::size_t>(i)])));
  close(fd);
  const int status = waitFor(tool);
  const Bytes err = rgbtest::readFile(logs.file("err"));
  EXPECT_EQ(status, 0) << std::string(err.begin(), err.end());
  EXPECT_EQ(frameTimesMs(dir.file("out.mkv")),
            (std::vector<long>{0, 2000, 4000, 6000, 8000, 10000}));
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"live", "out.mkv"}));
}

}  // namespace
}  // namespace rgbtooltest
