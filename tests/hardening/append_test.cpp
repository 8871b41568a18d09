// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Appends are all or nothing: a file writer that fails part-way (here at a
// file-size limit, as on a full disk) leaves the stream as it was, so the
// next append reads back exactly; a file-size limit never ends the process;
// appenders in separate processes never interleave their frames, and none
// of their frames is lost to a file replaced under them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "rgb/rgb.h"
#include "tests/hardening/child.h"
#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;

constexpr int kWidth = 64;
constexpr int kHeight = 40;  // 7,680 pixel bytes a frame: larger than stdio's buffer

Bytes solid(unsigned char value) {
  return Bytes(3 * static_cast<std::size_t>(kWidth) * kHeight, value);
}

// The ways to append to a file by name.
enum class Writer { TimeFile, File, Handle, Frames };

int append(Writer writer, const std::string& path, const Bytes& image, int stamp) {
  switch (writer) {
    case Writer::Frames: {
      rgb_writer* handle = nullptr;
      if (rgb_writer_open(&handle, path.c_str()) != RGB_OK) return 0;
      Bytes two = image;
      rgbtest::append(two, image);
      const int32_t stamps[] = {stamp, stamp};
      const int put = rgb_writer_put_frames(handle, two.data(), kWidth, kHeight, 2, stamps, 0);
      return rgb_writer_close(handle) == RGB_OK && put == RGB_OK ? 1 : 0;
    }
    case Writer::TimeFile:
      return writeRGBTimeFile(path.c_str(), image.data(), kWidth, kHeight, 1, &stamp);
    case Writer::File:
      return writeRGBFile(path.c_str(), image.data(), kWidth, kHeight, 1);
    case Writer::Handle: {
      rgb_writer* handle = nullptr;
      if (rgb_writer_open(&handle, path.c_str()) != RGB_OK) return 0;
      const int put = rgb_writer_put(handle, image.data(), kWidth, kHeight, stamp, 0);
      return rgb_writer_close(handle) == RGB_OK && put == RGB_OK ? 1 : 0;
    }
  }
  return 0;
}

TEST(Appends, AFailedAppendIsUndoneAndTheNextOneReadsBackExactly) {
  for (const Writer writer : {Writer::TimeFile, Writer::File, Writer::Handle}) {
    SCOPED_TRACE(static_cast<int>(writer));
    rgbtest::TempDir dir;
    const std::string path = dir.file("s.rgb");
    const hardening::Ended ended = hardening::runInChild([&] {
      if (append(writer, path, solid(0), 1) != 1) return 1;
      // The second frame crosses the limit part-way, as a full disk would;
      // with SIGXFSZ ignored the write fails instead of ending the process.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{12 * 1024, RLIM_INFINITY};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
      if (append(writer, path, solid(0), 2) != 0) return 3;
      const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
      if (setrlimit(RLIMIT_FSIZE, &none) != 0) return 4;
      return append(writer, path, solid(0), 3) == 1 ? 0 : 5;
    });
    ASSERT_TRUE(ended.exited) << ended.err;
    ASSERT_EQ(ended.status, 0) << ended.err;
    // Exactly the two good frames, byte for byte.
    Bytes expected = rgbtest::streamBytes(solid(0), 1, kWidth, kHeight, {1});
    if (writer == Writer::File) {
      // The clock stamped these frames: compare everything but the stamps.
      const Bytes stream = rgbtest::readFile(path);
      ASSERT_EQ(stream.size(), 2 * expected.size());
      for (std::size_t frame = 0; frame < 2; ++frame) {
        for (std::size_t i = 0; i < expected.size(); ++i) {
          if (i < 108 || i >= 112) {
            ASSERT_EQ(stream[frame * expected.size() + i], expected[i]) << i;
          }
        }
      }
      continue;
    }
    rgbtest::append(expected, rgbtest::streamBytes(solid(0), 1, kWidth, kHeight, {3}));
    EXPECT_EQ(rgbtest::readFile(path), expected);
  }
}

// Two processes append 100 frames each, one all 0x11, the other all 0x22:
// every frame of the result is whole and of one writer only.
TEST(Appends, ConcurrentAppendersNeverInterleave) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("shared.rgb");
  constexpr int kEach = 100;
  auto appender = [&](unsigned char value, bool handle) {
    return [&path, value, handle] {
      for (int n = 0; n < kEach; ++n)
        if (append(handle ? Writer::Handle : Writer::TimeFile, path, solid(value), n) != 1)
          return 1;
      return 0;
    };
  };
  hardening::Child first(appender(0x11, false));
  hardening::Child second(appender(0x22, true));
  EXPECT_EQ(first.wait().status, 0);
  EXPECT_EQ(second.wait().status, 0);

  const rgbtest::Loaded loaded = rgbtest::loadFile(path);
  ASSERT_EQ(loaded.frames, 2 * kEach);
  const std::size_t frameBytes = solid(0).size();
  EXPECT_EQ(rgbtest::readFile(path).size(), 2 * kEach * (512 + frameBytes));
  int ones = 0;
  for (int n = 0; n < loaded.frames; ++n) {
    const unsigned char* frame = loaded.pixels.data() + static_cast<std::size_t>(n) * frameBytes;
    ASSERT_TRUE(frame[0] == 0x11 || frame[0] == 0x22) << "frame " << n;
    ASSERT_EQ(Bytes(frame, frame + frameBytes), solid(frame[0])) << "frame " << n;
    ones += frame[0] == 0x11;
  }
  EXPECT_EQ(ones, kEach);
}

// Under a file-size limit the process keeps its default SIGXFSZ action:
// the limit must make the append fail, not end the process, and the file
// must stay exactly as it was.
TEST(Appends, AFileSizeLimitFailsTheAppendAndNeverEndsTheProcess) {
  for (const Writer writer : {Writer::TimeFile, Writer::File, Writer::Handle, Writer::Frames}) {
    SCOPED_TRACE(static_cast<int>(writer));
    rgbtest::TempDir dir;
    const std::string path = dir.file("s.rgb");
    ASSERT_EQ(append(Writer::TimeFile, path, solid(1), 1), 1);
    const Bytes before = rgbtest::readFile(path);
    const hardening::Ended ended = hardening::runInChild([&] {
      const rlimit limit{12 * 1024, RLIM_INFINITY};  // one frame and a half
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
      errno = 0;
      if (append(writer, path, solid(2), 2) != 0) return 3;
      return writer == Writer::Handle && errno != EFBIG ? 4 : 0;
    });
    ASSERT_TRUE(ended.exited) << "ended by signal " << ended.status;
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_EQ(rgbtest::readFile(path), before);
    const bool classic = writer == Writer::TimeFile || writer == Writer::File;
    EXPECT_EQ(ended.err, classic ? "error during writing RGB image no. 0.\n" : "");
  }
}

// The limit met by a write the library cannot check first (a stream it was
// handed): the write fails, the SIGXFSZ it raised is taken off, and the
// thread's signal mask is as it was; a SIGXFSZ pending before stays.
TEST(Appends, AFileSizeLimitOnABorrowedStreamLeavesTheSignalMaskAsItWas) {
  for (const bool pendingBefore : {false, true}) {
    SCOPED_TRACE(pendingBefore ? "pending before" : "none pending");
    rgbtest::TempDir dir;
    const std::string path = dir.file("s.rgb");
    const hardening::Ended ended = hardening::runInChild([&] {
      sigset_t xfsz;
      sigemptyset(&xfsz);
      sigaddset(&xfsz, SIGXFSZ);
      if (pendingBefore && (sigprocmask(SIG_BLOCK, &xfsz, nullptr) != 0 || raise(SIGXFSZ) != 0)) return 2;
      const rlimit limit{4 * 1024, RLIM_INFINITY};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
      FILE* stream = std::fopen(path.c_str(), "ab");
      rgb_writer* writer = nullptr;
      if (!stream || rgb_writer_from_file(&writer, stream) != RGB_OK) return 4;
      const int put = rgb_writer_put(writer, solid(3).data(), kWidth, kHeight, 3, 0);
      rgb_writer_close(writer);
      std::fclose(stream);
      sigset_t pending;
      sigset_t mask;
      if (sigpending(&pending) != 0 || sigprocmask(SIG_BLOCK, nullptr, &mask) != 0) return 5;
      if (put != RGB_EIO) return 6;
      if (sigismember(&pending, SIGXFSZ) != (pendingBefore ? 1 : 0)) return 7;
      return sigismember(&mask, SIGXFSZ) == (pendingBefore ? 1 : 0) ? 0 : 8;
    });
    ASSERT_TRUE(ended.exited) << "ended by signal " << ended.status;
    EXPECT_EQ(ended.status, 0) << ended.err;
  }
}

// ---- replacing the file under appenders -----------------------------------

// Memory the test's processes share: the replacer sets `done` when it has
// made its last replacement.
struct SharedFlag {
  std::atomic<int> done{0};
};

class Shared {
 public:
  Shared() {
    void* memory = mmap(nullptr, sizeof(SharedFlag), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::runtime_error("mmap failed");
    flag_ = new (memory) SharedFlag;
  }
  ~Shared() { munmap(flag_, sizeof(SharedFlag)); }
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;
  std::atomic<int>& done() { return flag_->done; }

 private:
  SharedFlag* flag_;
};

constexpr int kTagBase = 1000000;  // stamp = appender * kTagBase + sequence
constexpr int kReplacements = 25;

// Appends tagged frames until the replacer is done, and a few more; prints
// how many appends succeeded. The handle kinds keep one writer open from the
// first frame to the last, across every replacement.
int appendTagged(Writer kind, int appender, const std::string& path, std::atomic<int>& done) {
  rgb_writer* handle = nullptr;
  if (kind != Writer::TimeFile && rgb_writer_open(&handle, path.c_str()) != RGB_OK) return 1;
  int succeeded = 0;
  int failed = 0;
  int after = 0;
  for (int n = 0; after < 5; ++n) {
    if (done.load()) ++after;
    const int32_t stamp = appender * kTagBase + n;
    const Bytes image = solid(static_cast<unsigned char>(appender));
    int ok = 0;
    if (kind == Writer::TimeFile) {
      const int stamps[] = {stamp};
      ok = writeRGBTimeFile(path.c_str(), image.data(), kWidth, kHeight, 1, stamps);
    } else {
      ok = rgb_writer_put(handle, image.data(), kWidth, kHeight, stamp, 0) == RGB_OK;
    }
    (ok ? succeeded : failed) += 1;
  }
  if (handle && rgb_writer_close(handle) != RGB_OK) ++failed;
  std::printf("%d\n", succeeded);
  return failed == 0 ? 0 : 1;
}

// Replaces the file again and again the way a replacing program must: the
// lock on the old file around the rename. The old file keeps a second name
// (gen-K) so the test can look at it later; its size at the replacement is
// printed ("K SIZE"), since nothing may be appended to it after that.
int replaceRepeatedly(const std::string& path, const rgbtest::TempDir& dir, std::atomic<int>& done) {
  for (int k = 0; k < kReplacements; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
    const int old = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (old < 0 || flock(old, LOCK_EX) != 0) return 1;
    const std::string kept = dir.file("gen-" + std::to_string(k));
    const std::string fresh = dir.file("fresh");
    rgbtest::writeFile(fresh, {});
    struct stat status {};
    if (fstat(old, &status) != 0 || link(path.c_str(), kept.c_str()) != 0 ||
        rename(fresh.c_str(), path.c_str()) != 0)
      return 2;
    std::printf("%d %lld\n", k, static_cast<long long>(status.st_size));
    close(old);
  }
  done.store(1);
  return 0;
}

// The tags of every frame of a file; fails the test on a frame that is not
// whole or not one appender's.
std::vector<int32_t> tagsIn(const std::string& path) {
  std::vector<int32_t> tags;
  rgb_reader* reader = nullptr;
  EXPECT_EQ(rgb_reader_open(&reader, path.c_str()), RGB_OK);
  Bytes pixels(solid(0).size());
  rgb_frame_info info{};
  int status = RGB_OK;
  while ((status = rgb_reader_next(reader, pixels.data(), pixels.size(), 0, &info)) == RGB_OK) {
    EXPECT_EQ(pixels, solid(static_cast<unsigned char>(info.stamp / kTagBase))) << path;
    tags.push_back(info.stamp);
  }
  EXPECT_EQ(status, RGB_END) << path << ": " << rgb_reader_message(reader);
  rgb_reader_close(reader);
  return tags;
}

// Appenders (a handle kept open, a handle writing batches, the classic
// writer opening the path per frame) run while another process replaces the
// file by rename 25 times. Nothing may go into a file after it was
// replaced, and every frame an appender was told went in is in one of the
// files, once.
TEST(Appends, FramesAppendedWhileTheFileIsReplacedGoToTheNewFile) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("live.rgb");
  rgbtest::writeFile(path, {});
  Shared shared;
  const std::vector<Writer> kinds = {Writer::Handle, Writer::Frames, Writer::TimeFile};
  std::vector<std::unique_ptr<hardening::Child>> appenders;
  for (std::size_t a = 0; a < kinds.size(); ++a) {
    const int appender = static_cast<int>(a) + 1;
    const Writer kind = kinds[a];
    appenders.push_back(std::make_unique<hardening::Child>(
        [&, appender, kind] { return appendTagged(kind, appender, path, shared.done()); }));
  }
  hardening::Child replacer([&] { return replaceRepeatedly(path, dir, shared.done()); });
  const hardening::Ended replaced = replacer.wait();
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  std::map<int, int> told;  // appender -> appends reported as done
  for (std::size_t a = 0; a < appenders.size(); ++a) {
    const hardening::Ended ended = appenders[a]->wait();
    ASSERT_TRUE(ended.exited && ended.status == 0) << "appender " << a + 1 << ": " << ended.err;
    told[static_cast<int>(a) + 1] = std::stoi(ended.out);
  }

  std::istringstream sizes(replaced.out);
  std::map<int32_t, int> seen;
  for (int k = 0, generation = 0; k < kReplacements; ++k) {
    long long size = -1;
    ASSERT_TRUE(sizes >> generation >> size);
    const std::string kept = dir.file("gen-" + std::to_string(generation));
    EXPECT_EQ(static_cast<long long>(rgbtest::readFile(kept).size()), size)
        << "frames went into replaced file " << generation;
    for (const int32_t tag : tagsIn(kept)) ++seen[tag];
  }
  for (const int32_t tag : tagsIn(path)) ++seen[tag];
  std::map<int, int> found;
  for (const auto& [tag, times] : seen) {
    EXPECT_EQ(times, 1) << "frame " << tag;
    ++found[tag / kTagBase];
  }
  EXPECT_EQ(found, told);
}

}  // namespace
