// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A three-frame stream cut at every byte offset: each reader fails or
// succeeds exactly as documented, with its messages on the right stream,
// and the caller's buffers hold the complete frames before the cut and, in
// the frame that was cut, exactly the scanlines that arrived whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;
using rgbtest::capture;

constexpr int kWidth = 5;  // odd, so scanlines are not word-sized
constexpr int kHeight = 3;
constexpr int kFrames = 3;
constexpr std::size_t kHeader = 512;
constexpr unsigned char kSentinel = 0xEE;
constexpr int kStampSentinel = -1;
const std::vector<int32_t> kStamps = {9999990, 5, 1234567};  // across the clock's wrap
const std::string kAlphaWarning = "warning: ignoring alpha channel (4th byte)\n";

std::string repeat(const std::string& text, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i) all += text;
  return all;
}

std::string format(const char* pattern, long value) {
  char line[128];
  std::snprintf(line, sizeof line, pattern, value);
  return line;
}

struct Case {
  uint16_t planes;
  Bytes image = rgbtest::patternImage(kFrames, kWidth, kHeight, 3);
  Bytes stream;
  std::size_t planeBytes = kWidth * kHeight;
  std::size_t frameBytes;
  explicit Case(uint16_t zsize)
      : planes(zsize),
        stream(rgbtest::streamBytes(image, kFrames, kWidth, kHeight, kStamps, zsize)),
        frameBytes(kHeader + planeBytes * zsize) {}
  std::string alphaWarnings(std::size_t headers) const {
    return planes == 4 ? repeat(kAlphaWarning, headers) : "";
  }
};

// Byte i of the interleaved buffer expected after `length` bytes of the
// stream were read frame by frame into a buffer filled with the sentinel.
unsigned char expectedByte(const Case& c, std::size_t length, std::size_t i) {
  const std::size_t frameImage = c.planeBytes * 3;
  const std::size_t frame = i / frameImage;
  const std::size_t start = frame * c.frameBytes + kHeader;
  if (length <= start) return kSentinel;
  const std::size_t pixel = i % frameImage / 3;
  const std::size_t channel = i % 3;
  const std::size_t row = pixel / kWidth;
  // Scanline (channel, row) arrived whole, or not at all.
  const std::size_t scanlineEnd = start + (channel * kHeight + row + 1) * kWidth;
  return length >= scanlineEnd ? c.image[i] : kSentinel;
}

::testing::AssertionResult buffersHold(const Case& c, std::size_t length,
                                       const unsigned char* images, const int* times) {
  for (std::size_t i = 0; i < c.image.size(); ++i)
    if (images[i] != expectedByte(c, length, i))
      return ::testing::AssertionFailure() << "image byte " << i << " is " << int{images[i]}
                                           << ", expected " << int{expectedByte(c, length, i)};
  for (std::size_t n = 0; n < kFrames; ++n) {
    const int expected = length >= n * c.frameBytes + kHeader ? kStamps[n] : kStampSentinel;
    if (times[n] != expected)
      return ::testing::AssertionFailure() << "stamp " << n << " is " << times[n];
  }
  return ::testing::AssertionSuccess();
}

// What readRGBTimeStream prints when the stream ends after `length` bytes.
rgbtest::Output streamFailure(const Case& c, std::size_t length) {
  const std::size_t frame = length / c.frameBytes;
  const std::size_t into = length % c.frameBytes;
  rgbtest::Output expected;
  if (into < kHeader) {
    expected.out = format("error reading %ld RGB header bytes.\n", static_cast<long>(into)) +
                   format("error reading header of frame no %ld.\n", static_cast<long>(frame));
    expected.err = c.alphaWarnings(frame);
  } else {
    expected.err = c.alphaWarnings(frame + 1) +
                   format("eof during reading RGB image no %ld.\n", static_cast<long>(frame));
  }
  return expected;
}

class Truncated : public ::testing::TestWithParam<uint16_t> {
 protected:
  rgbtest::TempDir dir;
  std::string path = dir.file("cut.rgb");

  // Calls body(length, stream) for the stream cut after every length from 0
  // to all of its bytes, the cut kept in the file at `path` and open for
  // reading; stops at the first cut that fails.
  template <class Body>
  void forEachCut(const Case& c, Body body) {
    for (std::size_t length = 0; length <= c.stream.size(); ++length) {
      SCOPED_TRACE("stream cut after " + std::to_string(length) + " bytes");
      rgbtest::writeFile(path, Bytes(c.stream.begin(), c.stream.begin() + static_cast<long>(length)));
      const rgbtest::Stream stream(std::fopen(path.c_str(), "rb"));
      ASSERT_NE(stream, nullptr);
      body(length, stream.get());
      if (HasFailure()) return;
    }
  }
};

TEST_P(Truncated, FileReadersCountAndReadTheWholeFramesBeforeTheCut) {
  const Case c(GetParam());
  forEachCut(c, [&](std::size_t length, FILE*) {
    rgbtest::ReadBuffers r;
    int result = -1;
    const auto output = capture(
        [&] { result = readRGBTimeFile(path.c_str(), &r.images, &r.width, &r.height, &r.times); });
    const std::size_t whole = length / c.frameBytes;
    const std::size_t stray = length % c.frameBytes;
    if (length < kHeader) {
      EXPECT_EQ(output.out, format("error reading %ld RGB header bytes.\n", static_cast<long>(length)));
      EXPECT_EQ(output.err, "");
    } else {
      EXPECT_EQ(output.out,
                stray ? format("warning: %ld bytes found after last frame.\n", static_cast<long>(stray))
                      : "");
      EXPECT_EQ(output.err, c.alphaWarnings(1 + whole));
    }
    EXPECT_EQ(result, static_cast<int>(whole));
    if (whole == 0) {
      EXPECT_EQ(r.images, nullptr);
      EXPECT_EQ(r.times, nullptr);
    } else if (r.images && r.times) {
      EXPECT_EQ(r.width, kWidth);
      EXPECT_EQ(r.height, kHeight);
      const std::size_t bytes = whole * c.planeBytes * 3;
      EXPECT_EQ(Bytes(r.images, r.images + bytes),
                Bytes(c.image.begin(), c.image.begin() + static_cast<long>(bytes)));
      EXPECT_EQ(std::vector<int>(r.times, r.times + whole),
                std::vector<int>(kStamps.begin(), kStamps.begin() + static_cast<long>(whole)));
    } else {
      ADD_FAILURE() << "no buffers for " << whole << " frames";
    }
  });
}

TEST_P(Truncated, StreamReaderFillsCallerBuffersUpToTheCut) {
  const Case c(GetParam());
  forEachCut(c, [&](std::size_t length, FILE* stream) {
    Bytes image(c.image.size(), kSentinel);
    std::vector<int> stamps(kFrames, kStampSentinel);
    unsigned char* images = image.data();
    int* times = stamps.data();
    int width = -1;
    int height = -1;
    int result = -1;
    const auto output = capture(
        [&] { result = readRGBTimeStream(stream, &images, &width, &height, kFrames, &times); });
    EXPECT_EQ(images, image.data());
    EXPECT_EQ(times, stamps.data());
    if (length == c.stream.size()) {
      EXPECT_EQ(result, kFrames);
      EXPECT_EQ(output.out, "");
      EXPECT_EQ(output.err, c.alphaWarnings(kFrames));
    } else {
      const rgbtest::Output expected = streamFailure(c, length);
      EXPECT_EQ(result, 0);
      EXPECT_EQ(output.out, expected.out);
      EXPECT_EQ(output.err, expected.err);
    }
    if (length >= kHeader) {
      EXPECT_EQ(width, kWidth);
      EXPECT_EQ(height, kHeight);
    }
    EXPECT_TRUE(buffersHold(c, length, image.data(), stamps.data()));
  });
}

TEST_P(Truncated, StreamReaderAllocatesOnceTheFirstHeaderIsAccepted) {
  const Case c(GetParam());
  forEachCut(c, [&](std::size_t length, FILE* stream) {
    rgbtest::ReadBuffers r;
    int result = -1;
    const auto output = capture([&] { result = r.readStream(stream, kFrames); });
    EXPECT_EQ(result, length == c.stream.size() ? kFrames : 0);
    const unsigned char* images = r.images;
    const int* times = r.times;
    if (length < kHeader) {
      EXPECT_EQ(images, nullptr);
      EXPECT_EQ(times, nullptr);
    } else if (images && times) {
      // The allocated buffers hold what arrived; the rest is unspecified.
      for (std::size_t n = 0; n < kFrames && length >= (n + 1) * c.frameBytes; ++n) {
        const auto begin = c.image.begin() + static_cast<long>(n * c.planeBytes * 3);
        EXPECT_EQ(Bytes(images + n * c.planeBytes * 3, images + (n + 1) * c.planeBytes * 3),
                  Bytes(begin, begin + static_cast<long>(c.planeBytes * 3)));
        EXPECT_EQ(times[n], kStamps[n]);
      }
    } else {
      ADD_FAILURE() << "first header accepted, yet no buffers";
    }
    if (length != c.stream.size()) {
      EXPECT_EQ(output.out, streamFailure(c, length).out);
    }
  });
}

TEST_P(Truncated, PipeReaderDeliversEachWholeFrameThenReportsTheCut) {
  const Case c(GetParam());
  forEachCut(c, [&](std::size_t length, FILE* stream) {
    rgbtest::ReadBuffers r;
    const std::size_t whole = length / c.frameBytes;
    for (std::size_t n = 0; n <= whole; ++n) {
      int result = -1;
      const auto output = capture([&] { result = r.readPipe(stream); });
      if (n < whole) {
        ASSERT_EQ(result, 1) << "frame " << n << ": " << output.out << output.err;
        const auto begin = c.image.begin() + static_cast<long>(n * c.planeBytes * 3);
        EXPECT_EQ(Bytes(r.images, r.images + c.planeBytes * 3),
                  Bytes(begin, begin + static_cast<long>(c.planeBytes * 3)));
        EXPECT_EQ(r.times[0], kStamps[n]);
      } else {
        // The failing call is a new one-frame read: it names frame 0.
        const std::size_t into = length % c.frameBytes;
        EXPECT_EQ(result, 0);
        if (into < kHeader) {
          EXPECT_EQ(output.out,
                    format("error reading %ld RGB header bytes.\n", static_cast<long>(into)) +
                        "error reading header of frame no 0.\n");
          EXPECT_EQ(output.err, "");
        } else {
          EXPECT_EQ(output.out, "");
          EXPECT_EQ(output.err, c.alphaWarnings(1) + "eof during reading RGB image no 0.\n");
        }
      }
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Planes, Truncated, ::testing::Values(uint16_t{3}, uint16_t{4}),
                         [](const ::testing::TestParamInfo<uint16_t>& planes) {
                           return planes.param == 3 ? std::string("Rgb") : std::string("Rgba");
                         });

}  // namespace
