// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Appends are all or nothing: a file writer that fails part-way (here at a
// file-size limit, as on a full disk) leaves the stream as it was, so the
// next append reads back exactly; and appenders in separate processes never
// interleave their frames.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>
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

// The three ways to append to a file by name.
enum class Writer { TimeFile, File, Handle };

int append(Writer writer, const std::string& path, const Bytes& image, int stamp) {
  switch (writer) {
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

}  // namespace
