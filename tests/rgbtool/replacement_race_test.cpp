// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Replacing a stream under appenders, with real processes: rgbtool import
// runs, the library's C writers and rgbtool import --new. No frame may go
// into a file that no name leads to.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "rgb/rgb.h"
#include "tests/hardening/child.h"
#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 4;
constexpr int kHeight = 3;
constexpr int kReplacements = 25;
constexpr int kPicturesPerRun = 5;
constexpr int32_t kMarkerBase = 4000000;

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<int32_t> stampsOf(const std::string& path, uint64_t& stray) {
  rgb_reader* reader = nullptr;
  std::vector<int32_t> stamps;
  int64_t frames = 0;
  if (rgb_reader_open(&reader, path.c_str()) != RGB_OK ||
      rgb_reader_count(reader, &frames, &stray) != RGB_OK) {
    ADD_FAILURE() << "cannot count " << path;
    rgb_reader_close(reader);
    return stamps;
  }
  rgb_frame_info info{};
  for (int64_t i = 0; i < frames; ++i) {
    if (rgb_reader_seek(reader, i) != RGB_OK || rgb_reader_peek(reader, &info) != RGB_OK) {
      ADD_FAILURE() << "frame " << i << ": " << rgb_reader_message(reader);
      break;
    }
    stamps.push_back(info.stamp);
  }
  rgb_reader_close(reader);
  return stamps;
}

std::vector<int32_t> lines(const std::string& text) {
  std::vector<int32_t> numbers;
  std::istringstream in(text);
  for (int32_t n; in >> n;) numbers.push_back(n);
  return numbers;
}

// A replacer that keeps what it replaces: under the old file's lock (the
// protocol rgbtool import --new and every rename into place follow) it
// copies the old stream, adds a marker frame and renames the copy over
// the name. Every frame appended before the lock is kept, every frame
// after it must go to the copy: the final stream must hold them all.
void replaceKeepingFrames(const std::string& path, int round) {
  const int old = open(path.c_str(), O_RDONLY);
  ASSERT_GE(old, 0);
  ASSERT_EQ(flock(old, LOCK_EX), 0);
  Bytes bytes = rgbtest::readFile("/proc/self/fd/" + std::to_string(old));
  rgbtest::append(bytes, rgbtest::streamBytes(rgbtest::patternImage(1, kWidth, kHeight), 1,
                                              kWidth, kHeight, {kMarkerBase + round}));
  const std::string copy = path + ".copy";
  rgbtest::writeFile(copy, bytes);
  ASSERT_EQ(rename(copy.c_str(), path.c_str()), 0);
  close(old);
}

// Appenders run until `stop` exists and print each stamp they appended.
int importAppender(const std::string& path, const std::string& picture, const std::string& stop) {
  for (int run = 0; !exists(stop); ++run) {
    const int32_t first = 1000000 + run * kPicturesPerRun;
    std::vector<std::string> args = {"import", "--start-ms", std::to_string(first),
                                     "--interval-ms", "1", path};
    for (int i = 0; i < kPicturesPerRun; ++i) args.push_back(picture);
    const Outcome outcome = runTool(args);
    if (outcome.status != 0) {
      std::fprintf(stderr, "%s", outcome.err.c_str());
      return 1;
    }
    for (int i = 0; i < kPicturesPerRun; ++i) std::printf("%d\n", first + i);
  }
  return 0;
}

int writerAppender(const std::string& path, const std::string& stop, bool classic) {
  const Bytes frame = rgbtest::patternImage(1, kWidth, kHeight);
  for (int32_t stamp = classic ? 3000000 : 2000000; !exists(stop); ++stamp) {
    bool appended = false;
    if (classic) {
      const int times[] = {stamp};
      appended = writeRGBTimeFile(path.c_str(), frame.data(), kWidth, kHeight, 1, times) == 1;
    } else {
      rgb_writer* writer = nullptr;
      appended = rgb_writer_open(&writer, path.c_str()) == RGB_OK &&
                 rgb_writer_put(writer, frame.data(), kWidth, kHeight, stamp, 0) == RGB_OK;
      if (writer && rgb_writer_close(writer) != RGB_OK) appended = false;
    }
    if (!appended) return 1;
    std::printf("%d\n", stamp);
    std::fflush(stdout);
  }
  return 0;
}

TEST(ReplacementRace, AppendersLoseNoFrameWhileTheStreamIsReplaced) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("s.rgb");
  const std::string picture = dir.file("p.ppm");
  const std::string stop = dir.file("stop");
  writePpm(picture, patternPicture(kWidth, kHeight, 1));
  rgbtest::writeFile(path, rgbtest::streamBytes(rgbtest::patternImage(1, kWidth, kHeight), 1,
                                                kWidth, kHeight, {7}));
  hardening::Child importer([&] { return importAppender(path, picture, stop); });
  hardening::Child writer([&] { return writerAppender(path, stop, false); });
  hardening::Child classic([&] { return writerAppender(path, stop, true); });
  for (int round = 0; round < kReplacements; ++round) {
    replaceKeepingFrames(path, round);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  rgbtest::writeFile(stop, {});
  std::map<std::string, std::vector<int32_t>> appended;
  for (auto* child : {&importer, &writer, &classic}) {
    const hardening::Ended ended = child->wait(std::chrono::milliseconds(120000));
    ASSERT_EQ(ended.status, 0) << ended.err;
    const std::vector<int32_t> stamps = lines(ended.out);
    appended[std::to_string(stamps.empty() ? 0 : stamps.front() / 1000000)] = stamps;
  }
  uint64_t stray = 0;
  const std::vector<int32_t> held = stampsOf(path, stray);
  EXPECT_EQ(stray, 0u);
  std::size_t expected = 1 + kReplacements;
  for (const auto& [appender, stamps] : appended) {
    SCOPED_TRACE("appender " + appender);
    EXPECT_GT(stamps.size(), 0u);
    expected += stamps.size();
    // All there, in the order they were appended.
    std::vector<int32_t> found;
    for (const int32_t stamp : held)
      if (std::to_string(stamp / 1000000) == appender) found.push_back(stamp);
    EXPECT_EQ(found, stamps);
  }
  EXPECT_EQ(held.size(), expected);
}

// rgbtool import --new replaces the stream only once the appender that
// holds it (here this test, holding the appenders' lock) lets go, and a C
// writer that opened the old stream before the replacement appends to the
// new one.
TEST(ReplacementRace, ImportNewWaitsForTheAppendersLockAndHandsOnAWriter) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("s.rgb");
  writePpm(dir.file("a.ppm"), patternPicture(kWidth, kHeight, 1));
  writePpm(dir.file("b.ppm"), patternPicture(kWidth, kHeight, 2));
  const Bytes old = rgbtest::streamBytes(rgbtest::patternImage(3, kWidth, kHeight), 3, kWidth,
                                         kHeight, {1, 2, 3});
  rgbtest::writeFile(path, old);
  const int held = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const int replacing = startTool({"import", "--new", "--start-ms", "500", "--interval-ms", "1",
                                   path, dir.file("b.ppm")},
                                  dir.file("new.out"), dir.file("new.err"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int raw = 0;
  EXPECT_EQ(waitpid(replacing, &raw, WNOHANG), 0) << "replaced while an appender held the stream";
  // A frame appended under the lock lands in the old file, which is then
  // replaced as a whole: the new stream holds the new run only.
  const Bytes late = rgbtest::streamBytes(rgbtest::patternImage(1, kWidth, kHeight), 1, kWidth,
                                          kHeight, {4});
  ASSERT_EQ(write(held, late.data(), late.size()), static_cast<ssize_t>(late.size()));
  close(held);
  EXPECT_EQ(waitFor(replacing), 0) << text(rgbtest::readFile(dir.file("new.err")));
  EXPECT_EQ(text(rgbtest::readFile(dir.file("new.err"))),
            "rgbtool: " + path + ": 3 frames before, 1 now\n");
  uint64_t stray = 0;
  EXPECT_EQ(stampsOf(path, stray), std::vector<int32_t>{500});

  rgb_writer* writer = nullptr;
  ASSERT_EQ(rgb_writer_open(&writer, path.c_str()), RGB_OK);
  const Outcome replaced =
      runTool({"import", "--new", "--start-ms", "600", "--interval-ms", "1", path,
               dir.file("a.ppm")});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  const Bytes frame = rgbtest::patternImage(1, kWidth, kHeight);
  EXPECT_EQ(rgb_writer_put(writer, frame.data(), kWidth, kHeight, 700, 0), RGB_OK);
  EXPECT_EQ(rgb_writer_close(writer), RGB_OK);
  EXPECT_EQ(stampsOf(path, stray), (std::vector<int32_t>{600, 700}));
}

}  // namespace
}  // namespace rgbtooltest
