// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// toolkit::StreamAppender on real files: streams it continues and streams
// it refuses (one table), all-or-nothing runs, standard output opened at an
// offset, the lock held for the run, and a stream replaced while the
// appender waits for its lock. Expected bytes are built by the test
// support's own encoder, never by the library's writer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/hardening/child.h"
#include "tests/toolkit/layer_support.h"
#include "toolkit/stream_append.h"

namespace {

using layertest::Bytes;
using layertest::namesIn;
using layertest::pixels;
using layertest::stream;
using rgbtest::TempDir;

constexpr int kWidth = 4;
constexpr int kHeight = 3;
constexpr unsigned kOldSeed = 1;
constexpr unsigned kNewSeed = 2;
const std::vector<int32_t> kOldStamps = {100, 140, 180};
const std::vector<int32_t> kNewStamps = {500, 540};

Bytes joined(Bytes a, const Bytes& b) {
  rgbtest::append(a, b);
  return a;
}

// The frames this run appends, as the stream must hold them.
Bytes newFrames() { return stream(kWidth, kHeight, kNewStamps, kNewSeed); }

// Appends the new frames to `path` and commits.
bool appendRun(toolkit::StreamAppender& appender, const std::string& path,
               const toolkit::AppendRules& rules = {}) {
  if (!appender.open(path, kWidth, kHeight, rules)) return false;
  const Bytes frames = pixels(2, kWidth, kHeight, kNewSeed);
  const std::size_t frameBytes = frames.size() / 2;
  for (std::size_t i = 0; i < kNewStamps.size(); ++i)
    if (!appender.append(frames.data() + i * frameBytes, kNewStamps[i])) return false;
  return appender.commit();
}

struct Existing {
  const char* name;
  Bytes before;               // the file's bytes before the run
  bool cutPartial;
  const char* refusal;        // nullptr: appended
  int64_t framesBefore;
  Bytes after;                // the whole frames kept before the new ones
};

std::vector<Existing> existingStreams() {
  const Bytes old = stream(kWidth, kHeight, kOldStamps, kOldSeed);
  const Bytes partial = joined(old, Bytes(100, 7));
  const Bytes shortHeader(7, 1);
  return {
      {"no file yet", {}, false, nullptr, 0, {}},
      {"an empty file", Bytes(), false, nullptr, 0, {}},
      {"frames of the same size", old, false, nullptr, 3, old},
      {"frames of another size", stream(2, 2, {1, 2}), false,
       "holds 2 x 2 RGB frames, cannot append 4 x 3 RGB frames", 0, {}},
      {"RGBA frames", rgbtest::streamBytes(pixels(1, kWidth, kHeight), 1, kWidth, kHeight, {9}, 4),
       false, "holds 4 x 3 RGBA frames, cannot append 4 x 3 RGB frames", 0, {}},
      {"a partial frame at the end", partial, false, "ends in 100 bytes of a partial frame", 0, {}},
      {"a partial frame, cut on request", partial, true, nullptr, 3, old},
      {"a first header cut short", shortHeader, false, "ends in 7 bytes of a partial frame", 0, {}},
      {"a first header cut short, cut on request", shortHeader, true, nullptr, 0, {}},
      {"not a frame stream", Bytes(600, 'x'), false, "not a frame stream", 0, {}},
  };
}

TEST(StreamAppender, ContinuesOnlyStreamsTheFramesFit) {
  for (const Existing& existing : existingStreams()) {
    SCOPED_TRACE(existing.name);
    TempDir dir;
    const std::string path = dir.file("s.rgb");
    const bool hadFile = std::string(existing.name) != "no file yet";
    if (hadFile) rgbtest::writeFile(path, existing.before);
    toolkit::AppendRules rules;
    rules.cutPartial = existing.cutPartial;
    toolkit::StreamAppender appender;
    const bool appended = appendRun(appender, path, rules);
    if (existing.refusal) {
      EXPECT_FALSE(appended);
      EXPECT_NE(appender.error().find(existing.refusal), std::string::npos) << appender.error();
      EXPECT_EQ(rgbtest::readFile(path), existing.before);
      continue;
    }
    ASSERT_TRUE(appended) << appender.error();
    EXPECT_EQ(appender.framesBefore(), existing.framesBefore);
    EXPECT_EQ(appender.framesAppended(), 2);
    EXPECT_EQ(rgbtest::readFile(path), joined(existing.after, newFrames()));
  }
}

TEST(StreamAppender, ARunNotCommittedLeavesTheStreamAsItWas) {
  TempDir dir;
  const Bytes old = stream(kWidth, kHeight, kOldStamps, kOldSeed);
  rgbtest::writeFile(dir.file("old.rgb"), old);
  const Bytes frame = pixels(1, kWidth, kHeight);
  for (const std::string name : {"old.rgb", "new.rgb"}) {
    SCOPED_TRACE(name);
    toolkit::StreamAppender appender;
    ASSERT_TRUE(appender.open(dir.file(name), kWidth, kHeight)) << appender.error();
    ASSERT_TRUE(appender.append(frame.data(), 1));
    ASSERT_TRUE(appender.append(frame.data(), 2));
    EXPECT_TRUE(appender.rollback());
  }
  EXPECT_EQ(rgbtest::readFile(dir.file("old.rgb")), old);
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"old.rgb"}) << "the new stream stayed";
}

// Bytes a writer that takes no lock added after this run's are not cut.
TEST(StreamAppender, RollbackSparesAnotherWritersBytes) {
  TempDir dir;
  const std::string path = dir.file("s.rgb");
  const Bytes old = stream(kWidth, kHeight, kOldStamps, kOldSeed);
  rgbtest::writeFile(path, old);
  toolkit::StreamAppender appender;
  ASSERT_TRUE(appender.open(path, kWidth, kHeight));
  const Bytes frame = pixels(1, kWidth, kHeight);
  ASSERT_TRUE(appender.append(frame.data(), 1));
  const Bytes foreign = stream(kWidth, kHeight, {7, 8, 9});
  const int other = open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_EQ(write(other, foreign.data(), foreign.size()), static_cast<ssize_t>(foreign.size()));
  close(other);
  EXPECT_FALSE(appender.rollback());
  EXPECT_EQ(rgbtest::readFile(path).size(), old.size() + foreign.size() + foreign.size() / 3);
}

// `1<>s.rgb` opens standard output at offset 0 without O_APPEND, `>>`
// with it: both get the frames after the stream's end.
TEST(StreamAppender, StandardOutputThatIsAFileIsAppendedToAtItsEnd) {
  for (const int mode : {O_RDWR, O_WRONLY | O_APPEND}) {
    SCOPED_TRACE(mode);
    TempDir dir;
    const std::string path = dir.file("s.rgb");
    const Bytes old = stream(kWidth, kHeight, kOldStamps, kOldSeed);
    rgbtest::writeFile(path, old);
    const hardening::Ended child = hardening::runInChild([&] {
      const int fd = open(path.c_str(), mode);
      if (fd < 0 || dup2(fd, STDOUT_FILENO) != STDOUT_FILENO) return 3;
      toolkit::StreamAppender appender;
      if (!appendRun(appender, "-")) {
        std::fprintf(stderr, "%s", appender.error().c_str());
        return 1;
      }
      return appender.framesBefore() == 3 ? 0 : 4;
    });
    EXPECT_EQ(child.status, 0) << child.err;
    EXPECT_EQ(rgbtest::readFile(path), joined(old, newFrames()));
  }
}

TEST(StreamAppender, HoldsTheLockForTheWholeRun) {
  TempDir dir;
  const std::string path = dir.file("s.rgb");
  rgbtest::writeFile(path, stream(kWidth, kHeight, kOldStamps, kOldSeed));
  toolkit::StreamAppender appender;
  ASSERT_TRUE(appender.open(path, kWidth, kHeight));
  const int other = open(path.c_str(), O_RDONLY);
  EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "not locked after open";
  const Bytes frame = pixels(1, kWidth, kHeight);
  ASSERT_TRUE(appender.append(frame.data(), 1));
  EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "not locked between frames";
  ASSERT_TRUE(appender.commit());
  EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "still locked after the run";
  close(other);
}

// The stream is replaced (renamed over, as import --new does) while the
// appender waits for the old file's lock: the frames go into the new one.
TEST(StreamAppender, AStreamReplacedWhileWaitingForTheLockGetsTheFrames) {
  TempDir dir;
  const std::string path = dir.file("s.rgb");
  const Bytes old = stream(kWidth, kHeight, kOldStamps, kOldSeed);
  const Bytes replacement = stream(kWidth, kHeight, {1000});
  rgbtest::writeFile(path, old);
  rgbtest::writeFile(dir.file("next.rgb"), replacement);
  const int holder = open(path.c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  std::atomic<bool> done{false};
  bool appended = false;
  std::thread run([&] {
    toolkit::StreamAppender appender;
    appended = appendRun(appender, path);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done) << "appended without the lock";
  ASSERT_EQ(rename(dir.file("next.rgb").c_str(), path.c_str()), 0);
  flock(holder, LOCK_UN);
  run.join();
  EXPECT_TRUE(appended);
  EXPECT_EQ(rgbtest::readFile(path), joined(replacement, newFrames()));
  EXPECT_EQ(rgbtest::readFile("/proc/self/fd/" + std::to_string(holder)), old);
  close(holder);
}

}  // namespace
