// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Reading frame streams: counting, whole files, damaged streams, what the
// caller's buffers hold afterwards, and frame-by-frame reads over a pipe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "rgb/buffers.h"
#include "rgb/rgb.h"
#include "tests/rgb/pipe_support.h"
#include "tests/support/test_support.h"

using rgbtest::Bytes;
using rgbtest::Stream;

namespace {

Stream openFile(const std::string& path) { return Stream(std::fopen(path.c_str(), "rb")); }

// What a file read produced; owns the buffers the reader allocated.
struct FileRead : rgbtest::ReadBuffers {
  int result = -1;
  rgbtest::Output output;
};

void readTimeFile(const std::string& path, FileRead* r) {
  r->output = rgbtest::capture(
      [&] { r->result = readRGBTimeFile(path.c_str(), &r->images, &r->width, &r->height, &r->times); });
}

Bytes frames(const Bytes& image, int count, int w, int h, std::vector<int32_t> stamps) {
  return rgbtest::streamBytes(image, count, w, h, stamps);
}

class ReaderTest : public ::testing::Test {
 protected:
  rgbtest::TempDir dir;
  const Bytes image = rgbtest::patternImage(2, 4, 2);
  std::string twoFrameFile(const Bytes& extra = {}) {
    Bytes stream = frames(image, 2, 4, 2, {111, 2222});
    rgbtest::append(stream, extra);
    const std::string path = dir.file("two.rgb");
    rgbtest::writeFile(path, stream);
    return path;
  }
};

}  // namespace

TEST_F(ReaderTest, CountsWholeFramesAndRewinds) {
  Stream file = openFile(twoFrameFile());
  ASSERT_TRUE(file);
  int count = -1;
  const auto output = rgbtest::capture([&] { count = getRGBNoOfFrames(file.get()); });
  EXPECT_EQ(count, 2);
  EXPECT_EQ(output.out + output.err, "");
  EXPECT_EQ(std::ftell(file.get()), 0);
}

TEST_F(ReaderTest, CountingWarnsAboutStrayBytesOnStdout) {
  Stream file = openFile(twoFrameFile(Bytes(100, 0xAB)));
  int count = -1;
  const auto output = rgbtest::capture([&] { count = getRGBNoOfFrames(file.get()); });
  EXPECT_EQ(count, 2);
  EXPECT_EQ(output.out, "warning: 100 bytes found after last frame.\n");
  EXPECT_EQ(output.err, "");
  EXPECT_EQ(std::ftell(file.get()), 0);
}

TEST_F(ReaderTest, CountingFailsOnABadFirstHeaderWhereTheReadStopped) {
  const std::string path = dir.file("bad.rgb");
  Bytes stream = frames(image, 2, 4, 2, {1, 2});
  stream[2] = 1;  // run-length storage
  rgbtest::writeFile(path, stream);
  Stream file = openFile(path);
  int count = -1;
  const auto output = rgbtest::capture([&] { count = getRGBNoOfFrames(file.get()); });
  EXPECT_EQ(count, 0);
  EXPECT_EQ(output.err, "ERROR: image not uncompressed: 1.\n");
  EXPECT_EQ(std::ftell(file.get()), 512);
}

TEST_F(ReaderTest, CountingRefusesAStreamThatCannotBeRewound) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const Bytes stream = frames(image, 1, 4, 2, {1});
  ASSERT_EQ(write(fds[1], stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
  close(fds[1]);
  Stream in(fdopen(fds[0], "rb"));
  int count = -1;
  const auto output = rgbtest::capture([&] { count = getRGBNoOfFrames(in.get()); });
  EXPECT_EQ(count, 0);
  EXPECT_EQ(output.err, "ERROR: cannot rewind the RGB image stream after counting its frames.\n");
}

TEST_F(ReaderTest, CountsStreamsLongerThanTwoGibibytes) {
  // A sparse file: one real header, then zeros up to 683 frames of
  // 1024 x 1024 x 3 (2.15 GB) and 5 stray bytes.
  rgbtest::HeaderFields fields;
  fields.xsize = 1024;
  fields.ysize = 1024;
  const std::string path = dir.file("long.rgb");
  rgbtest::writeFile(path, rgbtest::headerBytes(fields));
  const off_t frameBytes = 1024 * 1024 * 3 + 512;
  ASSERT_EQ(truncate(path.c_str(), frameBytes * 683 + 5), 0);
  Stream file = openFile(path);
  int count = -1;
  const auto output = rgbtest::capture([&] { count = getRGBNoOfFrames(file.get()); });
  EXPECT_EQ(count, 683);
  EXPECT_EQ(output.out, "warning: 5 bytes found after last frame.\n");
}

// A count the int result cannot hold is refused with a message, never
// clamped: a sparse file of 512-byte frames (0 x 0 pictures), up to 1 TiB.
TEST_F(ReaderTest, CountsBeyondAnIntAreRefusedNotClamped) {
  const std::string path = dir.file("endless.rgb");
  rgbtest::HeaderFields empty;
  empty.xsize = 0;
  empty.ysize = 0;
  rgbtest::writeFile(path, rgbtest::headerBytes(empty));
  struct Case {
    uint64_t frames;
    int count;
    const char* err;
  };
  const Case cases[] = {
      {2147483647u, 2147483647, ""},
      {2147483648u, 0,
       "ERROR: RGB image stream holds 2147483648 frames, more than can be counted (2147483647 at most).\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(c.frames * 512)), 0);
    Stream file = openFile(path);
    int count = -1;
    const auto output = rgbtest::capture([&] { count = getRGBNoOfFrames(file.get()); });
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(output.err, c.err);
    EXPECT_EQ(output.out, "");
  }
  FileRead r;
  readTimeFile(path, &r);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.output.err, cases[1].err);
  EXPECT_EQ(r.images, nullptr);
}

TEST_F(ReaderTest, ReadsAWholeFileIntoInterleavedFramesAndStamps) {
  FileRead r;
  readTimeFile(twoFrameFile(), &r);
  ASSERT_EQ(r.result, 2);
  EXPECT_EQ(r.output.out + r.output.err, "");
  EXPECT_EQ(r.width, 4);
  EXPECT_EQ(r.height, 2);
  EXPECT_EQ(Bytes(r.images, r.images + 48), image);
  EXPECT_EQ(r.times[0], 111);
  EXPECT_EQ(r.times[1], 2222);
}

TEST_F(ReaderTest, ReadsAfterWarningAboutStrayBytes) {
  FileRead r;
  readTimeFile(twoFrameFile(Bytes(100, 0)), &r);
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(r.output.out, "warning: 100 bytes found after last frame.\n");
  EXPECT_EQ(Bytes(r.images, r.images + 48), image);
}

TEST_F(ReaderTest, ReadRgbFileDiscardsTheStamps) {
  unsigned char* images = nullptr;
  int width = 0;
  int height = 0;
  EXPECT_EQ(readRGBFile(twoFrameFile().c_str(), &images, &width, &height), 2);
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(Bytes(images, images + 48), image);
  std::free(images);
}

TEST_F(ReaderTest, UsesTheCallersBuffersWithoutReallocating) {
  Bytes own(48, 0);
  std::vector<int> stamps(2, 0);
  unsigned char* images = own.data();
  int* times = stamps.data();
  int width = 0;
  int height = 0;
  EXPECT_EQ(readRGBTimeFile(twoFrameFile().c_str(), &images, &width, &height, &times), 2);
  EXPECT_EQ(images, own.data());
  EXPECT_EQ(times, stamps.data());
  EXPECT_EQ(own, image);
  EXPECT_EQ(stamps, (std::vector<int>{111, 2222}));
}

TEST_F(ReaderTest, SkipsAlphaPlanesButCountsThem) {
  const std::string path = dir.file("rgba.rgb");
  rgbtest::writeFile(path, rgbtest::streamBytes(image, 2, 4, 2, {5, 6}, 4));
  FileRead r;
  readTimeFile(path, &r);
  ASSERT_EQ(r.result, 2);
  EXPECT_EQ(Bytes(r.images, r.images + 48), image);
  const std::string warning = "warning: ignoring alpha channel (4th byte)\n";
  EXPECT_EQ(r.output.err, warning + warning + warning);
  EXPECT_EQ(r.output.out, "");
}

TEST_F(ReaderTest, APartialFirstFrameCountsAsStrayBytesAndAllocatesNothing) {
  const std::string path = dir.file("partial.rgb");
  Bytes stream = frames(image, 1, 4, 2, {1});
  stream.resize(530);
  rgbtest::writeFile(path, stream);
  FileRead r;
  readTimeFile(path, &r);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.output.out, "warning: 530 bytes found after last frame.\n");
  EXPECT_EQ(r.images, nullptr);
  EXPECT_EQ(r.times, nullptr);
}

TEST_F(ReaderTest, ReportsEmptyAndMissingFiles) {
  const std::string empty = dir.file("empty.rgb");
  rgbtest::writeFile(empty, {});
  FileRead r;
  readTimeFile(empty, &r);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.output.out, "error reading 0 RGB header bytes.\n");
  EXPECT_EQ(r.output.err, "");

  FileRead missing;
  const std::string path = dir.file("missing.rgb");
  readTimeFile(path, &missing);
  EXPECT_EQ(missing.result, 0);
  EXPECT_EQ(missing.output.err, "unable to open RGB image file " + path + " for reading.\n");
  EXPECT_EQ(missing.images, nullptr);
}

TEST_F(ReaderTest, ADamagedSecondHeaderKeepsTheFirstFrame) {
  Bytes stream = frames(image, 2, 4, 2, {1, 2});
  stream[536 + 3] = 2;  // BPC of frame 1
  const std::string path = dir.file("damaged.rgb");
  rgbtest::writeFile(path, stream);
  FileRead r;
  readTimeFile(path, &r);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.output.err, "ERROR: image has not 1 byte per pixel channel: 2.\n");
  EXPECT_EQ(r.output.out, "error reading header of frame no 1.\n");
  ASSERT_NE(r.images, nullptr);
  EXPECT_EQ(Bytes(r.images, r.images + 24), Bytes(image.begin(), image.begin() + 24));
  EXPECT_EQ(r.times[0], 1);
}

TEST_F(ReaderTest, RejectsALaterFrameOfAnotherSize) {
  // Frame 1 is taller than frame 0: it must not be written past the buffer
  // sized for two 4 x 2 frames (the sanitizer build checks the bounds).
  const Bytes tall = rgbtest::patternImage(1, 4, 3, 9);
  Bytes stream = frames(image, 1, 4, 2, {1});
  rgbtest::append(stream, rgbtest::frameBytes(tall, 0, 4, 3, 2));
  Stream file = rgbtest::streamOver(stream);

  std::vector<unsigned char> own(48, 0);
  unsigned char* images = own.data();
  int* times = nullptr;
  int width = 0;
  int height = 0;
  int result = -1;
  const auto output = rgbtest::capture(
      [&] { result = readRGBTimeStream(file.get(), &images, &width, &height, 2, &times); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "ERROR: frame no 1 is 4x3x3, unlike the 4x2x3 of frame no 0.\n");
  EXPECT_EQ(output.out, "error reading header of frame no 1.\n");
  EXPECT_EQ(width, 4);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(Bytes(own.begin(), own.begin() + 24), Bytes(image.begin(), image.begin() + 24));
  EXPECT_EQ(Bytes(own.begin() + 24, own.end()), Bytes(24, 0));
  std::free(times);
}

TEST_F(ReaderTest, RejectsALaterFrameWithAnAlphaPlane) {
  Bytes stream = frames(image, 1, 4, 2, {1});
  rgbtest::append(stream, rgbtest::frameBytes(image, 1, 4, 2, 2, 4));
  Stream file = rgbtest::streamOver(stream);
  rgbtest::ReadBuffers read;
  const auto output = rgbtest::capture([&] { EXPECT_EQ(read.readStream(file.get(), 2), 0); });
  EXPECT_NE(output.err.find("ERROR: frame no 1 is 4x2x4"), std::string::npos) << output.err;
}

TEST_F(ReaderTest, NonPositiveFrameCountsReadNothing) {
  Stream file = openFile(twoFrameFile());
  rgbtest::ReadBuffers read;
  read.width = 7;
  EXPECT_EQ(read.readStream(file.get(), 0), 0);
  EXPECT_EQ(read.readStream(file.get(), -1), -1);
  EXPECT_EQ(std::ftell(file.get()), 0);
  EXPECT_EQ(read.images, nullptr);
  EXPECT_EQ(read.width, 7);
}

TEST_F(ReaderTest, PicturesWithoutPixelsReadWithoutFalseFailures) {
  for (const auto& size : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
    SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
    rgbtest::HeaderFields fields;
    fields.xsize = static_cast<uint16_t>(size.first);
    fields.ysize = static_cast<uint16_t>(size.second);
    fields.timestamp = 42;
    Bytes stream = rgbtest::headerBytes(fields);
    rgbtest::append(stream, rgbtest::headerBytes(fields));
    const std::string path = dir.file("empty-picture.rgb");
    rgbtest::writeFile(path, stream);
    FileRead r;
    readTimeFile(path, &r);
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.output.out + r.output.err, "");
    EXPECT_EQ(r.width, size.first);
    EXPECT_EQ(r.height, size.second);
    ASSERT_NE(r.times, nullptr);
    EXPECT_EQ(r.times[1], 42);
  }
}

TEST_F(ReaderTest, AHugeDeclaredSizeWithLittleDataEndsInEof) {
  rgbtest::HeaderFields fields;
  fields.xsize = 4000;
  fields.ysize = 4000;
  Bytes stream = rgbtest::headerBytes(fields);
  stream.resize(stream.size() + 1000, 9);
  Stream file = rgbtest::streamOver(stream);
  rgbtest::ReadBuffers read;
  const auto output = rgbtest::capture([&] { EXPECT_EQ(read.readPipe(file.get()), 0); });
  EXPECT_EQ(output.err, "eof during reading RGB image no 0.\n");
}

TEST_F(ReaderTest, AFrameCountWhoseImageOverflowsIsRefusedBeforeAnyPixel) {
  // 3 * 2134253571 * 44721 * 64423 is 2^64 + 9263: a size computed with
  // wrapping arithmetic would give a 9 KiB buffer for 134 KiB of the first
  // scanline, which is here in full.
  rgbtest::HeaderFields fields;
  fields.xsize = 44721;
  fields.ysize = 64423;
  Bytes stream = rgbtest::headerBytes(fields);
  stream.resize(stream.size() + 44721 + 3, 9);
  Stream file = rgbtest::streamOver(stream);
  // The caller's time vector cannot hold 2^31 entries; the reader must give
  // up before it stamps the first one.
  int stamps[4] = {-5, -5, -5, -5};
  int* times = stamps;
  unsigned char* images = nullptr;
  int width = 0;
  int height = 0;
  int result = -1;
  const auto output = rgbtest::capture(
      [&] { result = readRGBTimeStream(file.get(), &images, &width, &height, 2134253571, &times); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "no memory for RGB image(s).\n");
  EXPECT_EQ(output.out, "");
  EXPECT_EQ(images, nullptr);
  EXPECT_EQ(times, stamps);
  EXPECT_EQ(stamps[0], -5);
  std::free(images);
}

TEST_F(ReaderTest, FillsALargeBufferToItsLastByte) {
  // 2 frames of 2731 x 2049 take 33,574,914 bytes: 32 MiB and 20,482 more,
  // a size the huge-page allocation must round up to whole pages, never
  // down. Both allocations, with and without huge pages.
  const Bytes large = rgbtest::patternImage(2, 2731, 2049, 3);
  ASSERT_EQ(large.size(), 33574914u);
  const std::string path = dir.file("large.rgb");
  rgbtest::writeFile(path, frames(large, 2, 2731, 2049, {5, 6}));
  for (const bool huge : {false, true}) {
    SCOPED_TRACE(huge ? "huge pages" : "plain allocation");
    FileRead r;
    rgb::useHugePages(huge);
    readTimeFile(path, &r);
    rgb::useHugePages(false);
    ASSERT_EQ(r.result, 2);
    EXPECT_EQ(r.output.out + r.output.err, "");
    EXPECT_EQ(std::memcmp(r.images, large.data(), large.size()), 0);
  }
}

TEST(BufferSizes, RejectSizesThatDoNotFitAndAcceptLargeOnes) {
  std::size_t bytes = 0;
  EXPECT_TRUE(rgb::imageBytes(2, 4, 2, &bytes));
  EXPECT_EQ(bytes, 48u);
  // Above 2^31: representable in 64 bits and accepted.
  EXPECT_TRUE(rgb::imageBytes(100000, 1920, 1080, &bytes));
  EXPECT_EQ(bytes, 622080000000u);
  EXPECT_FALSE(rgb::imageBytes(INT32_MAX, 65535, 65535, &bytes));
  EXPECT_FALSE(rgb::imageBytes(-1, 4, 4, &bytes));
  EXPECT_EQ(rgb::streamFrameBytes(65535, 65535, 4), 17179344900u + 512u);
}

TEST_F(ReaderTest, ReadsFrameByFrameFromANamedPipe) {
  const Bytes three = rgbtest::patternImage(3, 5, 3, 4);
  const Bytes stream = frames(three, 3, 5, 3, {10, 20, 30});
  const std::string path = dir.file("frames.pipe");
  rgbtest::Producer producer(path, [&](FILE* out) {
    return std::fwrite(stream.data(), 1, stream.size(), out) == stream.size() ? 0 : 1;
  });
  FILE* in = openRGBReadPipe(path.c_str());
  ASSERT_NE(in, nullptr);
  rgbtest::ReadBuffers read;
  const long frameBytes = 5 * 3 * 3;
  for (int n = 0; n < 3; ++n) {
    unsigned char* before = read.images;
    ASSERT_EQ(read.readPipe(in), 1) << "frame " << n;
    if (n > 0) {
      EXPECT_EQ(read.images, before);
    }
    EXPECT_EQ(Bytes(read.images, read.images + frameBytes),
              Bytes(three.begin() + n * frameBytes, three.begin() + (n + 1) * frameBytes));
    EXPECT_EQ(read.times[0], 10 * (n + 1));
  }
  int result = -1;
  const auto output =
      rgbtest::capture([&] { result = readRGBPipe(in, &read.images, &read.width, &read.height); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.out, "error reading 0 RGB header bytes.\nerror reading header of frame no 0.\n");
  EXPECT_EQ(output.err, "");
  std::fclose(in);
  EXPECT_EQ(producer.wait(), 0);
}

TEST_F(ReaderTest, APipeEndingInsideAFrameReportsEof) {
  Bytes stream = frames(image, 1, 4, 2, {1});
  stream.resize(stream.size() - 3);
  const std::string path = dir.file("short.pipe");
  rgbtest::Producer producer(path, [&](FILE* out) {
    std::fwrite(stream.data(), 1, stream.size(), out);
    return 0;
  });
  FILE* in = openRGBReadPipe(path.c_str());
  ASSERT_NE(in, nullptr);
  rgbtest::ReadBuffers read;
  int result = -1;
  const auto output = rgbtest::capture([&] { result = read.readPipe(in); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "eof during reading RGB image no 0.\n");
  std::fclose(in);
}

TEST(OpensPipes, ReportsAPathThatCannotBeOpened) {
  FILE* in = reinterpret_cast<FILE*>(1);
  const auto output = rgbtest::capture([&] { in = openRGBReadPipe("/nonexistent/dir/p"); });
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(output.err, "unable to open RGB images pipe /nonexistent/dir/p for reading.\n");
}
