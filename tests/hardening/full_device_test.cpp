// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Every write path aimed at /dev/full (each write fails with "no space")
// must report failure with its message and result 0, never success.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "rgb/rgb.h"
#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;
using rgbtest::capture;
using rgbtest::patternImage;

constexpr const char* kFull = "/dev/full";

// An open /dev/full, closed at scope exit whatever the close reports.
class FullDevice {
 public:
  explicit FullDevice(bool buffered = true) : stream_(std::fopen(kFull, "wb")) {
    if (!stream_) throw std::runtime_error("cannot open /dev/full");
    if (!buffered) std::setvbuf(stream_, nullptr, _IONBF, 0);
  }
  ~FullDevice() { std::fclose(stream_); }
  FullDevice(const FullDevice&) = delete;
  FullDevice& operator=(const FullDevice&) = delete;
  FILE* get() const { return stream_; }

 private:
  FILE* stream_;
};

TEST(FullDevice, SmallFramesFailAtTheFinalFlushNamingTheLastFrame) {
  const Bytes image = patternImage(2, 4, 2);
  const int times[] = {10, 20};
  FullDevice full;
  int result = -1;
  const auto output = capture(
      [&] { result = writeRGBTimeStream(full.get(), image.data(), 4, 2, 2, times); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 1.\n");
  EXPECT_EQ(output.out, "");
}

TEST(FullDevice, LargeFramesFailAtTheFirstScanlineThatReachesTheDevice) {
  // 320 x 240 planes are larger than stdio's buffer, so a pixel write of
  // frame 0 is the first to meet the full device.
  const Bytes image = patternImage(1, 320, 240);
  const int times[] = {10};
  FullDevice full;
  int result = -1;
  const auto output = capture(
      [&] { result = writeRGBTimeStream(full.get(), image.data(), 320, 240, 1, times); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 0.\n");
  EXPECT_EQ(output.out, "");
}

TEST(FullDevice, UnbufferedStreamFailsAtTheFirstHeader) {
  const Bytes image = patternImage(2, 3, 3);
  const int times[] = {1, 2};
  FullDevice full(false);
  int result = -1;
  const auto output = capture(
      [&] { result = writeRGBTimeStream(full.get(), image.data(), 3, 3, 2, times); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error writing 0 RGB header bytes.\n");
  EXPECT_EQ(output.out, "error writing header of frame no 0.\n");
}

TEST(FullDevice, HeaderWriterFailsOnAnUnbufferedStream) {
  RGBHeader header{};
  FullDevice full(false);
  int result = -1;
  const auto output = capture([&] { result = writeRGBHeader(full.get(), &header); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error writing 0 RGB header bytes.\n");
}

TEST(FullDevice, HeaderWriterLeavesABufferedFailureToTheCallersFlush) {
  // writeRGBHeader hands its 512 bytes to stdio; on a buffered stream the
  // device is only reached by the caller's flush, which reports the failure.
  RGBHeader header{};
  FullDevice full;
  int result = -1;
  int flushed = 0;
  capture([&] {
    result = writeRGBHeader(full.get(), &header);
    flushed = std::fflush(full.get());
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(flushed, EOF);
  EXPECT_TRUE(std::ferror(full.get()));
}

TEST(FullDevice, PipeWritersFail) {
  const Bytes image = patternImage(1, 5, 3);
  const int stamp = 77;
  for (const bool timed : {true, false}) {
    SCOPED_TRACE(timed ? "writeRGBTimePipe" : "writeRGBPipe");
    FullDevice full;
    int result = -1;
    const auto output = capture([&] {
      result = timed ? writeRGBTimePipe(full.get(), image.data(), 5, 3, &stamp)
                     : writeRGBPipe(full.get(), image.data(), 5, 3);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output.err, "error during writing RGB image no. 0.\n");
  }
}

TEST(FullDevice, OpenedAsAWritePipeFails) {
  const Bytes image = patternImage(1, 2, 2);
  const int stamp = 5;
  FILE* pipe = nullptr;
  int result = -1;
  const auto output = capture([&] {
    pipe = openRGBWritePipe(kFull);
    if (pipe) result = writeRGBTimePipe(pipe, image.data(), 2, 2, &stamp);
  });
  ASSERT_NE(pipe, nullptr) << output.err;
  std::fclose(pipe);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 0.\n");
}

TEST(FullDevice, FileWritersFailWithOneMessage) {
  const Bytes image = patternImage(3, 6, 4);
  const int times[] = {1, 2, 3};
  for (const bool timed : {true, false}) {
    SCOPED_TRACE(timed ? "writeRGBTimeFile" : "writeRGBFile");
    int result = -1;
    const auto output = capture([&] {
      result = timed ? writeRGBTimeFile(kFull, image.data(), 6, 4, 3, times)
                     : writeRGBFile(kFull, image.data(), 6, 4, 3);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output.err, "error during writing RGB image no. 2.\n");
    EXPECT_EQ(output.out, "");
  }
}

TEST(FullDevice, LargeFileWritesFailToo) {
  // More than the file writers' own stdio buffer, so pixel writes fail
  // before the final flush.
  const Bytes image = patternImage(4, 640, 480);
  const int times[] = {1, 2, 3, 4};
  int result = -1;
  const auto output =
      capture([&] { result = writeRGBTimeFile(kFull, image.data(), 640, 480, 4, times); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err.rfind("error during writing RGB image no. ", 0), 0u) << output.err;
  EXPECT_EQ(std::count(output.err.begin(), output.err.end(), '\n'), 1) << output.err;
}

}  // namespace
