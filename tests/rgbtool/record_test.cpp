// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool record: lavfi sources checked pixel by pixel against ffmpeg's own
// rendering and stamp by stamp; a screen drawn on a private Xvfb; a finish
// by SIGINT; a FIFO reader that sees frames while the recording runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"
#include "tests/viewer/xserver.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Source {
  const char* name;
  const char* description;  // a lavfi source, 32 x 24
  const char* limit;        // --frames N or --duration T
  int frames;               // what the limit leaves
  int stepMs;               // between stamps
  int tolerance;            // YUV sources: converters to RGB may round differently
};

class RecordSource : public ::testing::TestWithParam<Source> {};

TEST_P(RecordSource, PixelsAreFfmpegsAndStampsFollowTheRate) {
  ASSERT_FALSE(findProgram("ffmpeg").empty()) << "ffmpeg is missing: run scripts/install-deps";
  const Source& source = GetParam();
  rgbtest::TempDir dir;
  const std::string limit = source.limit;
  const std::string flag = limit.substr(0, limit.find(' '));
  const Outcome run = runTool({"record", "-f", "lavfi", flag, limit.substr(limit.find(' ') + 1),
                               "--first-stamp", "9999950", source.description, dir.file("r.rgb")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(has(run.err, std::to_string(source.frames) + " frames recorded")) << run.err;
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("r.rgb"));
  ASSERT_EQ(loaded.frames, source.frames);
  for (int i = 0; i < loaded.frames; ++i)
    EXPECT_EQ(loaded.stamps[static_cast<std::size_t>(i)], (9999950 + i * source.stepMs) % 10000000)
        << "frame " << i;

  // ffmpeg's own frames of the same source, top row first.
  const Outcome reference =
      runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", source.description, "-frames:v",
                  std::to_string(source.frames), "-f", "rawvideo", "-pix_fmt", "rgb24",
                  dir.file("ref.raw")});
  ASSERT_EQ(reference.status, 0) << reference.err;
  const Bytes raw = rgbtest::readFile(dir.file("ref.raw"));
  Bytes expected;
  for (int i = 0; i < source.frames; ++i) {
    Picture picture{32, 24, {}};
    const std::size_t bytes = 32 * 24 * 3;
    picture.rgb.assign(raw.begin() + static_cast<long>(bytes) * i,
                       raw.begin() + static_cast<long>(bytes) * (i + 1));
    rgbtest::append(expected, frameOfPicture(picture));
  }
  ASSERT_EQ(loaded.pixels.size(), expected.size());
  int largest = 0;
  for (std::size_t i = 0; i < expected.size(); ++i)
    largest = std::max(largest, std::abs(int{loaded.pixels[i]} - int{expected[i]}));
  EXPECT_LE(largest, source.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Lavfi, RecordSource,
    ::testing::Values(Source{"testsrc_frames", "testsrc=size=32x24:rate=25", "--frames 12", 12, 40, 0},
                      Source{"colour_duration", "color=c=0x3366cc:size=32x24:rate=20",
                             "--duration 1s", 20, 50, 3},
                      Source{"yuv_source", "testsrc2=size=32x24:rate=10", "--frames 5", 5, 100, 3}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ToolRecord, ImportOfAVideoFileKeepsItsFramesAndTimes) {
  ASSERT_FALSE(findProgram("ffmpeg").empty()) << "ffmpeg is missing: run scripts/install-deps";
  rgbtest::TempDir dir;
  // Lossless, so that the frames must come back exactly.
  ASSERT_EQ(runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=32x24:rate=20",
                        "-frames:v", "8", "-c:v", "ffv1", "-pix_fmt", "bgr0", dir.file("v.mkv")})
                .status,
            0);
  ASSERT_EQ(runProgram({"ffmpeg", "-v", "error", "-i", dir.file("v.mkv"), "-f", "rawvideo",
                        "-pix_fmt", "rgb24", dir.file("ref.raw")})
                .status,
            0);
  const Outcome run = runTool({"import", dir.file("v.rgb"), dir.file("v.mkv")});
  ASSERT_EQ(run.status, 0) << run.err;
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("v.rgb"));
  ASSERT_EQ(loaded.frames, 8);
  for (int i = 1; i < 8; ++i) {
    const std::size_t at = static_cast<std::size_t>(i);
    EXPECT_EQ((loaded.stamps[at] - loaded.stamps[at - 1] + 10000000) % 10000000, 50) << i;
  }
  const Bytes raw = rgbtest::readFile(dir.file("ref.raw"));
  for (int i = 0; i < 8; ++i) {
    Picture picture{32, 24, {}};
    const long bytes = 32 * 24 * 3;
    picture.rgb.assign(raw.begin() + bytes * i, raw.begin() + bytes * (i + 1));
    EXPECT_EQ(frameAt(loaded.pixels, i, 32, 24), frameOfPicture(picture)) << i;
  }
}

TEST(ToolRecord, ScreenOfAPrivateXServer) {
  for (const char* program : {"display", "convert"})
    ASSERT_FALSE(findProgram(program).empty()) << program << " is missing: run scripts/install-deps";
  xtest::Xvfb server(64, 48);
  rgbtest::TempDir dir;
  // Three blocks of colour, drawn on the root window by ImageMagick.
  Picture picture{64, 48, {}};
  for (int row = 0; row < 48; ++row)
    for (int column = 0; column < 64; ++column) {
      const Bytes colour = row >= 24 ? Bytes{0x10, 0xf0, 0x20}
                           : column < 32 ? Bytes{0x33, 0x66, 0x99}
                                         : Bytes{0xcc, 0x22, 0x11};
      picture.rgb.insert(picture.rgb.end(), colour.begin(), colour.end());
    }
  writePpm(dir.file("screen.ppm"), picture);
  // display draws and then exits with 1 having no window of its own to show.
  xtest::run({findProgram("display"), "-window", "root", dir.file("screen.ppm")}, server.display());
  const Outcome run = runTool({"record", "-f", "x11grab", "-o", "draw_mouse=0", "--size", "64x48",
                               "--frames", "2", server.display() + ".0", dir.file("x.rgb")});
  ASSERT_EQ(run.status, 0) << run.err;
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("x.rgb"));
  ASSERT_EQ(loaded.frames, 2);
  EXPECT_EQ(frameAt(loaded.pixels, 1, 64, 48), frameOfPicture(picture));
}

// A source paced at its rate, which never ends by itself.
constexpr const char* kLive = "testsrc=size=32x24:rate=25,realtime";
constexpr std::size_t kFrameBytes = 512 + 32 * 24 * 3;

TEST(ToolRecord, SigintKeepsEveryWholeFrame) {
  rgbtest::TempDir dir;
  const int pid = startTool({"record", "-f", "lavfi", kLive, dir.file("r.rgb")}, dir.file("out"),
                            dir.file("err"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  kill(pid, SIGINT);
  EXPECT_EQ(waitFor(pid), 0);
  const Bytes bytes = rgbtest::readFile(dir.file("r.rgb"));
  EXPECT_EQ(bytes.size() % kFrameBytes, 0u);
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("r.rgb"));
  EXPECT_GE(loaded.frames, 5);
  const Bytes err = rgbtest::readFile(dir.file("err"));
  EXPECT_TRUE(has(std::string(err.begin(), err.end()),
                  std::to_string(loaded.frames) + " frames recorded"));
}

TEST(ToolRecord, AFifoReaderSeesFramesWhileTheRecordingRuns) {
  rgbtest::TempDir dir;
  const std::string fifo = dir.file("live");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int pid = startTool({"record", "-f", "lavfi", "--frames", "100", kLive, fifo},
                            dir.file("out"), dir.file("err"));
  const int fd = open(fifo.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  Bytes first(kFrameBytes);
  std::size_t got = 0;
  while (got < first.size()) {
    const ssize_t n = read(fd, first.data() + got, first.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  // 100 frames at 25 a second take 4 s: the first one came long before.
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the recording ended before the frame was read";
  EXPECT_EQ(got, kFrameBytes);
  kill(pid, SIGINT);
  close(fd);
  waitFor(pid);
}

// rgbtool video from a FIFO that a live recording feeds, ended by a limit
// or by SIGINT with the frames so far.
struct LiveEnd {
  const char* name;
  std::vector<std::string> limit;  // empty: SIGINT after a while
  int frames;                      // exactly, or at least 5 for SIGINT
};

class VideoFromAFifo : public ::testing::TestWithParam<LiveEnd> {};

int framesInVideo(const std::string& path) {
  const Outcome probe = runProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams",
                                    "v:0", "-show_entries", "stream=nb_read_frames", "-of",
                                    "default=nw=1:nk=1", path});
  EXPECT_EQ(probe.status, 0) << probe.err;
  return std::atoi(probe.out.c_str());
}

TEST_P(VideoFromAFifo, FinishesWithTheFramesSoFar) {
  const LiveEnd& end = GetParam();
  rgbtest::TempDir dir;
  const std::string fifo = dir.file("live");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int producer = startTool({"record", "-f", "lavfi", "--frames", "250", kLive, fifo},
                                 dir.file("p.out"), dir.file("p.err"));
  std::vector<std::string> args{"video", "--codec", "ffv1"};
  args.insert(args.end(), end.limit.begin(), end.limit.end());
  args.push_back(fifo);
  args.push_back(dir.file("v.mkv"));
  const int video = startTool(args, dir.file("v.out"), dir.file("v.err"));
  if (end.limit.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    kill(video, SIGINT);
  }
  const int status = waitFor(video);
  kill(producer, SIGTERM);
  waitFor(producer);
  const Bytes err = rgbtest::readFile(dir.file("v.err"));
  ASSERT_EQ(status, 0) << std::string(err.begin(), err.end());
  if (end.frames > 0) {
    EXPECT_EQ(framesInVideo(dir.file("v.mkv")), end.frames);
  } else {
    EXPECT_GE(framesInVideo(dir.file("v.mkv")), 5);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, VideoFromAFifo,
    ::testing::Values(LiveEnd{"frames", {"--frames", "6"}, 6},
                      // 25 frames a second: those at 0, 40, ..., 360 ms.
                      LiveEnd{"duration", {"--duration", "400ms"}, 10},
                      LiveEnd{"sigint", {}, -1}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rgbtooltest
