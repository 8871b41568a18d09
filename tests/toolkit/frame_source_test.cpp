// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// toolkit::FrameSource over real files, FIFOs fed by threads, `<(...)`
// pipes and standard input in children: frames and their layouts,
// counting, seeking by index and by time, failures in one wording, hostile
// declared sizes, and files followed while they grow, are cut short or are
// replaced. Streams and expected pixels come from the test support.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/hardening/child.h"
#include "tests/hardening/fifo.h"
#include "tests/toolkit/layer_support.h"
#include "toolkit/frame_source.h"
#include "toolkit/standard_streams.h"

namespace {

using layertest::Bytes;
using layertest::pixels;
using layertest::stream;
using rgbtest::TempDir;
using Read = toolkit::FrameSource::Read;
using std::chrono::milliseconds;

constexpr int kWidth = 4;
constexpr int kHeight = 3;
constexpr std::size_t kFrameBytes = 3 * kWidth * kHeight;
const std::vector<int32_t> kStamps = {100, 140, 180, 220, 260};

// Frame `index` of the pattern as next() must deliver it.
Bytes expectedFrame(int frames, int index, bool topRowFirst) {
  const Bytes all = pixels(frames, kWidth, kHeight);
  const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(kFrameBytes);
  const auto first = all.begin() + index * size;
  Bytes frame(first, first + size);
  if (!topRowFirst) return frame;
  Bytes flipped;
  const std::ptrdiff_t row = 3 * kWidth;
  for (std::ptrdiff_t r = kHeight - 1; r >= 0; --r)
    flipped.insert(flipped.end(), frame.begin() + r * row, frame.begin() + (r + 1) * row);
  return flipped;
}

Bytes frameBytes(const toolkit::Frame& frame) {
  return Bytes(frame.pixels(), frame.pixels() + frame.bytes());
}

// Where the stream comes from: a file, a FIFO, or a pipe named
// /dev/fd/N as a shell's `<(...)` names it. Pipes are fed by a thread
// that closes them when done.
enum class Kind { File, Fifo, DevFd };
const Kind kKinds[] = {Kind::File, Kind::Fifo, Kind::DevFd};

const char* nameOf(Kind kind) {
  return kind == Kind::File ? "file" : kind == Kind::Fifo ? "FIFO" : "/dev/fd pipe";
}

class Feed {
 public:
  Feed(Kind kind, const Bytes& bytes) {
    if (kind == Kind::File) {
      path_ = dir_.file("s.rgb");
      rgbtest::writeFile(path_, bytes);
      return;
    }
    if (kind == Kind::Fifo) {
      path_ = dir_.file("live");
      hardening::makeFifo(path_);
      producer_ = std::thread([this, bytes] {
        try {
          const int fd = hardening::openFifoWriter(path_);
          // The reader may stop early and close its end: no throw then.
          (void)!write(fd, bytes.data(), bytes.size());
          close(fd);
        } catch (const std::exception& e) {
          ADD_FAILURE() << e.what();
        }
      });
      return;
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    readEnd_ = ends[0];
    path_ = "/dev/fd/" + std::to_string(readEnd_);
    producer_ = std::thread([fd = ends[1], bytes] {
      (void)!write(fd, bytes.data(), bytes.size());
      close(fd);
    });
  }
  ~Feed() {
    if (producer_.joinable()) producer_.join();
    if (readEnd_ >= 0) close(readEnd_);
  }
  const std::string& path() const { return path_; }

 private:
  TempDir dir_;
  std::string path_;
  int readEnd_ = -1;
  std::thread producer_;
};

TEST(FrameSource, ReadsEveryFrameFromFilesAndPipesAlike) {
  const Bytes bytes = stream(kWidth, kHeight, kStamps);
  for (const Kind kind : kKinds) {
    for (const int flags : {0, int{RGB_TOP_ROW_FIRST}}) {
      SCOPED_TRACE(std::string(nameOf(kind)) + (flags ? ", top row first" : ""));
      Feed feed(kind, bytes);
      toolkit::FrameSource source(flags);
      ASSERT_TRUE(source.open(feed.path())) << source.error();
      EXPECT_EQ(source.seekable(), kind == Kind::File);
      toolkit::Frame frame;
      for (int i = 0; i < static_cast<int>(kStamps.size()); ++i) {
        ASSERT_EQ(source.next(frame), Read::Frame) << source.error();
        EXPECT_EQ(frame.index(), i);
        EXPECT_EQ(frame.stamp(), kStamps[static_cast<std::size_t>(i)]);
        EXPECT_EQ(frame.topRowFirst(), flags != 0);
        EXPECT_EQ(frameBytes(frame), expectedFrame(5, i, flags != 0));
      }
      EXPECT_EQ(source.next(frame), Read::End);
    }
  }
}

TEST(FrameSource, FilesAreCountedPeekedAndSeeked) {
  TempDir dir;
  const std::string path = dir.file("s.rgb");
  Bytes bytes = stream(kWidth, kHeight, kStamps);
  bytes.resize(bytes.size() + 100, 9);  // part of a sixth frame
  rgbtest::writeFile(path, bytes);
  toolkit::FrameSource source;
  ASSERT_TRUE(source.open(path)) << source.error();
  int64_t frames = 0;
  uint64_t stray = 0;
  ASSERT_TRUE(source.count(frames, stray));
  EXPECT_EQ(frames, 5);
  EXPECT_EQ(stray, 100u);

  rgb_frame_info info{};
  ASSERT_EQ(source.peek(info), Read::Frame);
  EXPECT_EQ(info.width, kWidth);
  EXPECT_EQ(info.stamp, 100);
  EXPECT_EQ(source.tell(), 0) << "peek consumed the frame";

  std::vector<int32_t> stamps;
  ASSERT_EQ(source.seek(2), Read::Frame);
  ASSERT_TRUE(source.stamps(stamps)) << source.error();
  EXPECT_EQ(stamps, kStamps);
  EXPECT_EQ(source.tell(), 2) << "stamps() moved the position";

  toolkit::Frame frame;
  ASSERT_EQ(source.seek(3), Read::Frame);
  ASSERT_EQ(source.next(frame), Read::Frame);
  EXPECT_EQ(frame.index(), 3);
  EXPECT_EQ(frameBytes(frame), expectedFrame(5, 3, false));
  // The frame the file's end cuts short is a position; reading it fails.
  ASSERT_EQ(source.seek(5), Read::Frame);
  EXPECT_EQ(source.next(frame), Read::Failed);
  EXPECT_EQ(source.error().rfind("frame 5: ", 0), 0u) << source.error();
  EXPECT_EQ(source.seek(6), Read::End);
  EXPECT_EQ(source.seek(-1), Read::Failed);

  rgbtest::writeFile(path, stream(kWidth, kHeight, kStamps));
  toolkit::FrameSource whole;
  ASSERT_TRUE(whole.open(path));
  EXPECT_EQ(whole.seek(5), Read::End);
}

TEST(FrameSource, PipesSeekForwardByReadingThrough) {
  Feed feed(Kind::Fifo, stream(kWidth, kHeight, kStamps));
  toolkit::FrameSource source;
  ASSERT_TRUE(source.open(feed.path()));
  int64_t frames = 0;
  uint64_t stray = 0;
  EXPECT_FALSE(source.count(frames, stray));
  ASSERT_EQ(source.seek(3), Read::Frame);
  toolkit::Frame frame;
  ASSERT_EQ(source.next(frame), Read::Frame);
  EXPECT_EQ(frame.index(), 3);
  EXPECT_EQ(frameBytes(frame), expectedFrame(5, 3, false));
  EXPECT_EQ(source.seek(1), Read::Failed);
  EXPECT_EQ(source.seek(9), Read::End);
}

// Stamps across the cycle's wrap, with a step back: the timeline is 0, 40,
// 80, 80, 120, 160 ms.
TEST(FrameSource, SeeksByTimeOnTheContinuousTimeline) {
  const std::vector<int32_t> stamps = {9999960, 0, 40, 20, 60, 100};
  const Bytes bytes = rgbtest::streamBytes(pixels(6, kWidth, kHeight), 6, kWidth, kHeight, stamps);
  struct Case {
    int64_t ms;
    int64_t frame;  // -1: End
  };
  const Case cases[] = {{0, 0}, {1, 1}, {40, 1}, {41, 2}, {80, 2}, {81, 4}, {160, 5}, {161, -1}};
  for (const Kind kind : {Kind::File, Kind::Fifo}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(nameOf(kind)) + " at " + std::to_string(c.ms) + " ms");
      Feed feed(kind, bytes);
      toolkit::FrameSource source;
      ASSERT_TRUE(source.open(feed.path()));
      const Read found = source.seekTime(c.ms);
      toolkit::Frame frame;
      if (c.frame < 0) {
        EXPECT_EQ(found, Read::End);
        continue;
      }
      ASSERT_EQ(found, Read::Frame) << source.error();
      ASSERT_EQ(source.next(frame), Read::Frame);
      EXPECT_EQ(frame.index(), c.frame);
      source.seek(6);  // drains a pipe, so that its producer can finish
    }
  }
}

// A stream damaged at one frame: the frames before it arrive whole, the
// failure names the frame and keeps the library's words.
struct Damage {
  const char* name;
  int frame;
  std::function<Bytes()> make;
  const char* detail;
};

Bytes withMagicBroken(int at) {
  Bytes bytes = stream(kWidth, kHeight, kStamps);
  bytes[static_cast<std::size_t>(at) * (512 + kFrameBytes)] = 0x55;
  return bytes;
}

const Damage kDamages[] = {
    {"a broken magic number", 2, [] { return withMagicBroken(2); }, "magic"},
    {"a frame of another size", 1,
     [] {
       Bytes bytes = stream(kWidth, kHeight, {1});
       rgbtest::append(bytes, stream(2, 2, {2}));
       return bytes;
     },
     ""},
    {"the end inside a frame's pixels", 3,
     [] {
       Bytes bytes = stream(kWidth, kHeight, kStamps);
       bytes.resize(3 * (512 + kFrameBytes) + 512 + 5);
       return bytes;
     },
     ""},
    {"the end inside a header", 2,
     [] {
       Bytes bytes = stream(kWidth, kHeight, kStamps);
       bytes.resize(2 * (512 + kFrameBytes) + 100);
       return bytes;
     },
     ""},
};

TEST(FrameSource, FailuresNameTheFrameAndKeepTheLibrarysWords) {
  for (const Damage& damage : kDamages) {
    for (const Kind kind : {Kind::File, Kind::Fifo}) {
      SCOPED_TRACE(std::string(damage.name) + " in a " + nameOf(kind));
      Feed feed(kind, damage.make());
      toolkit::FrameSource source;
      ASSERT_TRUE(source.open(feed.path()));
      toolkit::Frame frame;
      for (int i = 0; i < damage.frame; ++i) ASSERT_EQ(source.next(frame), Read::Frame);
      ASSERT_EQ(source.next(frame), Read::Failed);
      const std::string prefix = "frame " + std::to_string(damage.frame);
      EXPECT_EQ(source.error().rfind(prefix, 0), 0u) << source.error();
      EXPECT_GT(source.error().size(), prefix.size() + 4) << "no detail: " << source.error();
      EXPECT_NE(source.error().find(damage.detail), std::string::npos) << source.error();
    }
  }
}

TEST(FrameSource, StampsAndTimesOfADamagedFileStopAtTheDamage) {
  TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"), withMagicBroken(3));
  toolkit::FrameSource source;
  ASSERT_TRUE(source.open(dir.file("s.rgb")));
  std::vector<int32_t> stamps;
  EXPECT_FALSE(source.stamps(stamps));
  EXPECT_EQ(stamps, std::vector<int32_t>(kStamps.begin(), kStamps.begin() + 3));
  EXPECT_EQ(source.error().rfind("frame 3: ", 0), 0u) << source.error();
  // The undamaged part can still be chosen by time; the damage cannot.
  EXPECT_EQ(source.seekTime(80), Read::Frame);
  EXPECT_EQ(source.tell(), 2);
  EXPECT_EQ(source.seekTime(120), Read::Failed);
}

TEST(FrameSource, FailureWordsNameTheFrameOnce) {
  struct Case {
    int64_t index;
    const char* detail;
    int status;
    int savedErrno;
    std::string expected;
  };
  const Case cases[] = {
      {3, "frame 3: ERROR: image has wrong magic number: 21930.", RGB_EMAGIC, 0,
       "frame 3: ERROR: image has wrong magic number: 21930."},
      {3, "frame 3 is 2x2x3, unlike the 4x3x3 of frame 0", RGB_ESIZECHANGE, 0,
       "frame 3 is 2x2x3, unlike the 4x3x3 of frame 0"},
      {5, "the stream ends inside frame 5", RGB_ETRUNCATED, 0,
       "frame 5: the stream ends inside frame 5"},
      {0, "error reading frame 0", RGB_EIO, EIO, "frame 0: error reading frame 0: Input/output error"},
      {0, "error reading frame 0: Input/output error", RGB_EIO, EIO,
       "frame 0: error reading frame 0: Input/output error"},
      {7, "", RGB_ETRUNCATED, 0, std::string("frame 7: ") + rgb_strerror(RGB_ETRUNCATED)},
      {30, "frame 3: x", RGB_EMAGIC, 0, "frame 30: frame 3: x"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(toolkit::frameFailure(c.index, c.detail, c.status, c.savedErrno), c.expected);
}

TEST(FrameSource, OpeningSaysWhatIsWrongWithTheInput) {
  TempDir dir;
  toolkit::FrameSource source;
  EXPECT_FALSE(source.open(dir.file("missing.rgb")));
  EXPECT_EQ(source.error(), "cannot open: No such file or directory");
  EXPECT_FALSE(source.open(dir.path()));
  EXPECT_EQ(source.error(), "cannot read: Is a directory");

  const Bytes bytes = stream(kWidth, kHeight, {1, 2});
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  hardening::Child reader([&] {
    dup2(ends[0], STDIN_FILENO);
    close(ends[1]);
    toolkit::FrameSource input;
    toolkit::Frame frame;
    int read = 0;
    if (!input.open("-")) return 10;
    while (input.next(frame) == Read::Frame) ++read;
    return read;
  });
  close(ends[0]);
  hardening::writeAll(ends[1], bytes.data(), bytes.size());
  close(ends[1]);
  EXPECT_EQ(reader.wait().status, 2);

  const hardening::Ended closed = hardening::runInChild([] {
    close(STDIN_FILENO);
    if (!toolkit::guardStandardStreams()) return 3;
    toolkit::FrameSource input;
    if (input.open("-")) return 4;
    std::fprintf(stderr, "%s", input.error().c_str());
    return 0;
  });
  EXPECT_EQ(closed.status, 0);
  EXPECT_EQ(closed.err, "standard input is closed");
}

// A header declaring 30000 x 30000 (2.7 GB of pixels) with 1 MiB of them
// behind it: a file ends there, a FIFO's producer stalls and then leaves.
// Nothing is committed to the declared size: the process grows by far
// less than that (measured from a reset peak, so that the figure holds
// under valgrind and the sanitizers too).
TEST(FrameSource, HostileDeclaredSizesCostNothingBeforeThePixelsCome) {
  rgbtest::HeaderFields fields;
  fields.xsize = 30000;
  fields.ysize = 30000;
  Bytes bytes = rgbtest::headerBytes(fields);
  bytes.resize(bytes.size() + (std::size_t{1} << 20), 0x11);
  constexpr long kLimitKiB = 32 * 1024;
  for (const Kind kind : {Kind::File, Kind::Fifo}) {
    SCOPED_TRACE(nameOf(kind));
    TempDir dir;
    std::string path = dir.file("s.rgb");
    if (kind == Kind::File) {
      rgbtest::writeFile(path, bytes);
    } else {
      path = dir.file("live");
      hardening::makeFifo(path);
    }
    hardening::Child child([&] {
      const long before = layertest::resetPeak();
      toolkit::FrameSource source;
      toolkit::Frame frame;
      rgb_frame_info info{};
      if (!source.open(path) || source.peek(info) != Read::Frame || info.width != 30000) return 3;
      if (source.next(frame) != Read::Failed || frame.capacity() != 0) return 4;
      const long growth = layertest::peakKiB() - before;
      std::printf("%ld", growth);
      return growth < kLimitKiB ? 0 : 5;
    });
    if (kind == Kind::Fifo) {
      const int fd = hardening::openFifoWriter(path);
      hardening::writeAll(fd, bytes.data(), bytes.size());
      std::this_thread::sleep_for(milliseconds(300));
      close(fd);
    }
    const hardening::Ended ended = child.wait();
    EXPECT_EQ(ended.status, 0) << "grew by " << ended.out << " KiB";
  }
}

// ---- following a file ----

struct Follower {
  TempDir dir;
  std::string path = dir.file("s.rgb");
  toolkit::FrameSource source;
  std::vector<std::string> notices;

  explicit Follower(const Bytes& start) {
    rgbtest::writeFile(path, start);
    if (!source.open(path)) throw std::runtime_error(source.error());
    source.setNotice([this](const std::string& words) { notices.push_back(words); });
  }
  // The next frame within a deadline: index and stamp, or {-1, -1}.
  std::pair<int64_t, int32_t> next() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    toolkit::Frame frame;
    const Read got = source.follow(
        frame, [&] { return std::chrono::steady_clock::now() > until; }, milliseconds(10));
    if (got != Read::Frame) return {-1, -1};
    return {frame.index(), frame.stamp()};
  }
  void appendBytes(const Bytes& bytes) const {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
    hardening::writeAll(fd, bytes.data(), bytes.size());
    close(fd);
  }
};

using Seen = std::pair<int64_t, int32_t>;

TEST(FrameSource, FollowsAGrowingFileFrameByFrame) {
  Follower follower(stream(kWidth, kHeight, {10}));
  const Bytes more = stream(kWidth, kHeight, {20, 30});
  std::thread writer([&] {
    const std::size_t half = more.size() / 4;  // the header and part of the pixels
    std::this_thread::sleep_for(milliseconds(100));
    follower.appendBytes(Bytes(more.begin(), more.begin() + static_cast<std::ptrdiff_t>(half)));
    std::this_thread::sleep_for(milliseconds(100));
    follower.appendBytes(Bytes(more.begin() + static_cast<std::ptrdiff_t>(half), more.end()));
  });
  EXPECT_EQ(follower.next(), Seen(0, 10));
  EXPECT_EQ(follower.next(), Seen(1, 20));
  EXPECT_EQ(follower.next(), Seen(2, 30));
  writer.join();
  toolkit::Frame frame;
  EXPECT_EQ(follower.source.follow(frame, [] { return true; }, milliseconds(1)), Read::Stopped);
  EXPECT_TRUE(follower.notices.empty());
}

// Cut to nothing and written again, to fewer frames than were read (the
// size tells) and to more (only the frames themselves tell).
TEST(FrameSource, FollowsAFileCutShortFromItsNewStart) {
  for (const std::vector<int32_t>& rewritten :
       {std::vector<int32_t>{50, 60}, std::vector<int32_t>{50, 60, 70, 80}}) {
    SCOPED_TRACE(rewritten.size());
    Follower follower(stream(kWidth, kHeight, {10, 20, 30}));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(follower.next().first, i);
    rgbtest::writeFile(follower.path, stream(kWidth, kHeight, rewritten, 5));
    for (std::size_t i = 0; i < rewritten.size(); ++i)
      EXPECT_EQ(follower.next(), Seen(static_cast<int64_t>(i), rewritten[i]));
    ASSERT_EQ(follower.notices.size(), 1u);
    EXPECT_EQ(follower.notices[0].rfind("cut short", 0), 0u) << follower.notices[0];
  }
}

TEST(FrameSource, FollowsAReplacedFileFromItsStart) {
  Follower follower(stream(kWidth, kHeight, {10, 20, 30}));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(follower.next().first, i);
  const std::string next = follower.dir.file("next.rgb");
  rgbtest::writeFile(next, stream(kWidth, kHeight, {100, 200}));
  ASSERT_EQ(rename(next.c_str(), follower.path.c_str()), 0);
  EXPECT_EQ(follower.next(), Seen(0, 100));
  EXPECT_EQ(follower.next(), Seen(1, 200));
  follower.appendBytes(stream(kWidth, kHeight, {300}));
  EXPECT_EQ(follower.next(), Seen(2, 300));
  ASSERT_EQ(follower.notices.size(), 1u);
  EXPECT_EQ(follower.notices[0].rfind("replaced", 0), 0u) << follower.notices[0];
}

TEST(FrameSource, FollowingStopsAtAFrameThatIsDamagedNotUnfinished) {
  Follower follower(stream(kWidth, kHeight, {10}));
  ASSERT_EQ(follower.next().first, 0);
  Bytes broken = stream(kWidth, kHeight, {20});
  broken[0] = 0x55;
  follower.appendBytes(broken);
  toolkit::Frame frame;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  EXPECT_EQ(follower.source.follow(
                frame, [&] { return std::chrono::steady_clock::now() > until; }, milliseconds(10)),
            Read::Failed);
  EXPECT_EQ(follower.source.error().rfind("frame 1: ", 0), 0u) << follower.source.error();
}

}  // namespace
