// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Writing frame streams: exact bytes, appending, round trips through the
// reader, refusals, and failures that must not be reported as success.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "tests/rgb/pipe_support.h"
#include "tests/support/test_support.h"

using rgbtest::Bytes;

using rgbtest::contents;
using rgbtest::Loaded;
using rgbtest::Stream;

TEST(WritesFrames, TheTwoByOneFrameHasExactlyTheseBytes) {
  const Bytes pixels{1, 2, 3, 4, 5, 6};
  const int stamp = 1000;
  Stream out(std::tmpfile());
  EXPECT_EQ(writeRGBTimePipe(out.get(), pixels.data(), 2, 1, &stamp), 1);
  const Bytes written = contents(out.get());
  ASSERT_EQ(written.size(), 518u);
  Bytes expected(518, 0);
  const Bytes start{0x01, 0xDA, 0x00, 0x01, 0x00, 0x03, 0x00, 0x02, 0x00, 0x01, 0x00, 0x03};
  std::copy(start.begin(), start.end(), expected.begin());
  expected[19] = 0xFF;
  expected[110] = 0x03;
  expected[111] = 0xE8;
  const Bytes planes{0x01, 0x04, 0x02, 0x05, 0x03, 0x06};
  std::copy(planes.begin(), planes.end(), expected.begin() + 512);
  EXPECT_EQ(written, expected);
}

TEST(WritesFrames, RoundTripsPixelsAndStampsThroughAFile) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("round.rgb");
  const Bytes image = rgbtest::patternImage(3, 7, 5, 1);
  const std::vector<int> stamps{5, 7, 9999999};
  EXPECT_EQ(writeRGBTimeFile(path.c_str(), image.data(), 7, 5, 3, stamps.data()), 3);
  const Loaded l = rgbtest::loadFile(path);
  EXPECT_EQ(l.frames, 3);
  EXPECT_EQ(l.width, 7);
  EXPECT_EQ(l.height, 5);
  EXPECT_EQ(l.pixels, image);
  EXPECT_EQ(l.stamps, stamps);
}

// Frames of a megabyte and more are deinterleaved one ahead on a second
// thread: every frame must still land whole, in order, and a failure must
// stop the run at the frame that failed.
TEST(WritesFrames, LargeFramesKeepTheirOrderAndStopAtAFailure) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("large.rgb");
  constexpr int kWidth = 700;
  constexpr int kHeight = 600;
  const Bytes image = rgbtest::patternImage(4, kWidth, kHeight, 3);
  const std::vector<int> stamps{1, 2, 3, 4};
  EXPECT_EQ(writeRGBTimeFile(path.c_str(), image.data(), kWidth, kHeight, 4, stamps.data()), 4);
  EXPECT_EQ(rgbtest::readFile(path),
            rgbtest::streamBytes(image, 4, kWidth, kHeight, {1, 2, 3, 4}));

  Stream full(std::fopen("/dev/full", "wb"));
  int result = -1;
  const auto output = rgbtest::capture(
      [&] { result = writeRGBTimeStream(full.get(), image.data(), kWidth, kHeight, 4, stamps.data()); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 0.\n");
}

TEST(WritesFrames, FileWritersAppendSoCallsGrowOneStream) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("grow.rgb");
  const Bytes image = rgbtest::patternImage(2, 3, 2, 6);
  EXPECT_EQ(writeRGBFile(path.c_str(), image.data(), 3, 2, 1), 1);
  EXPECT_EQ(writeRGBFile(path.c_str(), image.data() + 18, 3, 2, 1), 1);
  Stream in(std::fopen(path.c_str(), "rb"));
  EXPECT_EQ(getRGBNoOfFrames(in.get()), 2);
  const Loaded l = rgbtest::loadFile(path);
  EXPECT_EQ(l.pixels, image);
  EXPECT_GE(l.stamps[1], l.stamps[0] - 1000);  // clock stamps, taken in order
}

TEST(WritesFrames, ClockStampsFollowTheWallClock) {
  const Bytes pixels(3, 9);
  Stream out(std::tmpfile());
  const int before = get_time();
  EXPECT_EQ(writeRGBPipe(out.get(), pixels.data(), 1, 1), 1);
  const int after = get_time();
  std::rewind(out.get());
  RGBHeader header;
  ASSERT_EQ(readRGBHeader(out.get(), &header), 1);
  if (before <= after) {
    EXPECT_GE(header.TIMESTAMP, before);
    EXPECT_LE(header.TIMESTAMP, after);
  }
}

TEST(WritesFrames, NothingToWriteOrNothingToWriteFrom) {
  const Bytes pixels(6, 1);
  const int stamp = 1;
  struct Case {
    const char* what;
    const unsigned char* images;
    const int* times;
    const char* message;
  };
  const Case cases[] = {
      {"no time vector", pixels.data(), nullptr, "no memory for time vector.\n"},
      {"no images", nullptr, &stamp, "no memory for RGB image(s).\n"},
      {"neither", nullptr, nullptr, "no memory for time vector.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Stream out(std::tmpfile());
    int result = -1;
    const auto output =
        rgbtest::capture([&] { result = writeRGBTimeStream(out.get(), c.images, 2, 1, 1, c.times); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output.err, c.message);
    EXPECT_TRUE(contents(out.get()).empty());
  }
}

TEST(WritesFrames, ZeroFramesWriteNothing) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("none.rgb");
  const Bytes pixels(6, 1);
  EXPECT_EQ(writeRGBFile(path.c_str(), pixels.data(), 2, 1, 0), 0);
  EXPECT_TRUE(rgbtest::readFile(path).empty());
  Stream out(std::tmpfile());
  const int stamp = 0;
  EXPECT_EQ(writeRGBTimeStream(out.get(), pixels.data(), 2, 1, -1, &stamp), -1);
  EXPECT_TRUE(contents(out.get()).empty());
}

TEST(WritesFrames, RefusesSizesTheHeaderCannotHold) {
  const Bytes pixels(3, 1);
  const int stamp = 0;
  for (const auto& size : {std::pair{-1, 1}, std::pair{1, -1}, std::pair{65536, 1},
                           std::pair{1, 70000}}) {
    SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
    Stream out(std::tmpfile());
    int result = -1;
    const auto output = rgbtest::capture([&] {
      result = writeRGBTimeStream(out.get(), pixels.data(), size.first, size.second, 1, &stamp);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output.err.rfind("ERROR: ", 0), 0u) << output.err;
    EXPECT_EQ(output.err.find('\n'), output.err.size() - 1);
    EXPECT_TRUE(contents(out.get()).empty());
  }
}

TEST(WritesFrames, PicturesWithoutPixelsRoundTrip) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("zero.rgb");
  const unsigned char none = 0;
  const std::vector<int> stamps{3, 4};
  rgbtest::Output output = rgbtest::capture(
      [&] { EXPECT_EQ(writeRGBTimeFile(path.c_str(), &none, 0, 9, 2, stamps.data()), 2); });
  EXPECT_EQ(output.err + output.out, "");
  EXPECT_EQ(rgbtest::readFile(path).size(), 1024u);
  const Loaded l = rgbtest::loadFile(path);
  EXPECT_EQ(l.frames, 2);
  EXPECT_EQ(l.width, 0);
  EXPECT_EQ(l.height, 9);
  EXPECT_EQ(l.stamps, stamps);
}

TEST(WritesFrames, ReportsAFileThatCannotBeOpened) {
  const Bytes pixels(3, 1);
  const int stamp = 0;
  const char* path = "/nonexistent/dir/out.rgb";
  int result = -1;
  auto output = rgbtest::capture([&] { result = writeRGBFile(path, pixels.data(), 1, 1, 1); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "unable to open RGB image file /nonexistent/dir/out.rgb for writing.\n");
  output = rgbtest::capture([&] { result = writeRGBTimeFile(path, pixels.data(), 1, 1, 1, &stamp); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "unable to open RGB image file /nonexistent/dir/out.rgb for writing.\n");
  FILE* pipe = reinterpret_cast<FILE*>(1);
  output = rgbtest::capture([&] { pipe = openRGBWritePipe(path); });
  EXPECT_EQ(pipe, nullptr);
  EXPECT_EQ(output.err, "unable to open RGB images pipe /nonexistent/dir/out.rgb for writing.\n");
}

TEST(WritesFrames, AFullDiskIsAFailureNotASuccess) {
  // Small frames stay in the stdio buffer until the final flush or close:
  // their loss must still surface as failure.
  const Bytes pixels = rgbtest::patternImage(2, 4, 4);
  const std::vector<int> stamps{1, 2};
  int result = -1;
  auto output = rgbtest::capture(
      [&] { result = writeRGBTimeFile("/dev/full", pixels.data(), 4, 4, 2, stamps.data()); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 1.\n");
  output = rgbtest::capture([&] { result = writeRGBFile("/dev/full", pixels.data(), 4, 4, 1); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 0.\n");

  Stream full(std::fopen("/dev/full", "wb"));
  output = rgbtest::capture(
      [&] { result = writeRGBTimeStream(full.get(), pixels.data(), 4, 4, 2, stamps.data()); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error during writing RGB image no. 1.\n");
}

TEST(WritesFrames, AnUnbufferedFullDiskFailsAtTheFirstHeader) {
  Stream full(std::fopen("/dev/full", "wb"));
  std::setvbuf(full.get(), nullptr, _IONBF, 0);
  const Bytes pixels(12, 1);
  const int stamp = 0;
  int result = -1;
  const auto output = rgbtest::capture(
      [&] { result = writeRGBTimeStream(full.get(), pixels.data(), 2, 2, 1, &stamp); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error writing 0 RGB header bytes.\n");
  EXPECT_EQ(output.out, "error writing header of frame no 0.\n");
}

TEST(WritesFrames, AFileSizeLimitDuringPixelsReportsTheFrame) {
  // In a child limited to 1.5 frames of file size: frame 0 fits, the pixel
  // data of frame 1 does not.
  rgbtest::TempDir dir;
  const std::string path = dir.file("limited.rgb");
  const std::string errors = dir.file("errors.txt");
  const Bytes image = rgbtest::patternImage(2, 8, 8);
  const std::vector<int> stamps{1, 2};
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = 512 + 192 + 512 + 100;
    const rlimit cap{limit, limit};
    setrlimit(RLIMIT_FSIZE, &cap);
    FILE* out = std::fopen(path.c_str(), "wb");
    std::setvbuf(out, nullptr, _IONBF, 0);
    int result = -1;
    const auto output = rgbtest::capture(
        [&] { result = writeRGBTimeStream(out, image.data(), 8, 8, 2, stamps.data()); });
    rgbtest::writeFile(errors, Bytes(output.err.begin(), output.err.end()));
    _exit(result == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const Bytes err = rgbtest::readFile(errors);
  EXPECT_EQ(std::string(err.begin(), err.end()), "error during writing RGB image no. 1.\n");
}

TEST(WritesFrames, RoundTripsFramesThroughANamedPipe) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("camera.pipe");
  const Bytes image = rgbtest::patternImage(4, 9, 7, 3);
  const std::size_t frameBytes = 9 * 7 * 3;
  rgbtest::Producer producer(path, [&](FILE*) {
    // The producer side uses the library's own opener and writer.
    FILE* out = openRGBWritePipe(path.c_str());
    if (!out) return 2;
    for (int n = 0; n < 4; ++n) {
      const int stamp = 100 * n;
      if (writeRGBTimePipe(out, image.data() + static_cast<std::size_t>(n) * frameBytes, 9, 7,
                           &stamp) != 1)
        return 1;
    }
    std::fclose(out);
    return 0;
  });
  FILE* in = openRGBReadPipe(path.c_str());
  ASSERT_NE(in, nullptr);
  rgbtest::ReadBuffers read;
  Bytes received;
  std::vector<int> stamps;
  while (rgbtest::capture([&] {
           if (read.readPipe(in) == 1) {
             received.insert(received.end(), read.images, read.images + frameBytes);
             stamps.push_back(read.times[0]);
           }
         }).out.empty()) {
  }
  std::fclose(in);
  EXPECT_EQ(producer.wait(), 0);
  EXPECT_EQ(received, image);
  EXPECT_EQ(stamps, (std::vector<int>{0, 100, 200, 300}));
}

namespace {

// The four ways to append frames to a file by name. Each returns whether the
// append succeeded; handle statuses go to *status.
enum class Face { TimeFile, File, Put, PutFrames };
const Face kFaces[] = {Face::TimeFile, Face::File, Face::Put, Face::PutFrames};
const char* nameOf(Face face) {
  switch (face) {
    case Face::TimeFile: return "writeRGBTimeFile";
    case Face::File: return "writeRGBFile";
    case Face::Put: return "rgb_writer_put";
    case Face::PutFrames: return "rgb_writer_put_frames";
  }
  return "";
}

bool appendFrames(Face face, const std::string& path, const Bytes& image, int width, int height,
                  const std::vector<int>& stamps, int flags = 0, int* status = nullptr) {
  const int frames = static_cast<int>(stamps.size());
  int local = RGB_OK;
  if (!status) status = &local;
  switch (face) {
    case Face::TimeFile:
      return writeRGBTimeFile(path.c_str(), image.data(), width, height, frames, stamps.data()) == frames;
    case Face::File:
      return writeRGBFile(path.c_str(), image.data(), width, height, frames) == frames;
    case Face::Put:
    case Face::PutFrames: {
      rgb_writer* writer = nullptr;
      if ((*status = rgb_writer_open(&writer, path.c_str())) != RGB_OK) return false;
      const std::size_t frameBytes = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
      if (face == Face::PutFrames) {
        const std::vector<int32_t> stamps32(stamps.begin(), stamps.end());
        *status = rgb_writer_put_frames(writer, image.data(), width, height, frames, stamps32.data(), flags);
      }
      for (int n = 0; face == Face::Put && n < frames && *status == RGB_OK; ++n)
        *status = rgb_writer_put(writer, image.data() + static_cast<std::size_t>(n) * frameBytes, width,
                                 height, stamps[static_cast<std::size_t>(n)], flags);
      const int closed = rgb_writer_close(writer);
      return *status == RGB_OK && closed == RGB_OK;
    }
  }
  return false;
}

Bytes textBytes(const char* text) { return Bytes(text, text + std::strlen(text)); }

}  // namespace

// An append that would not continue the stream in the file is refused and
// writes nothing: the handle says why with its status, the classic writers
// with one line naming the file.
TEST(AppendsContinueTheStream, OtherwiseNothingIsWritten) {
  const Bytes twoByTwo = rgbtest::streamBytes(rgbtest::patternImage(2, 2, 2), 2, 2, 2, {1, 2});
  Bytes stray = twoByTwo;
  stray.insert(stray.end(), 5, 0x33);
  const Bytes header = rgbtest::headerBytes({});
  Bytes notAStream(600, 'x');
  struct Case {
    const char* name;
    Bytes file;
    int width;
    int height;
    int status;
    std::string why;  // after "ERROR: cannot append to RGB image file PATH: "
  };
  const Case cases[] = {
      {"another height", twoByTwo, 2, 3, RGB_ESIZECHANGE, "its frames are 2x2x3, the new ones 2x3x3."},
      {"no pixels after 2 x 2", twoByTwo, 0, 0, RGB_ESIZECHANGE, "its frames are 2x2x3, the new ones 0x0x3."},
      {"alpha planes", rgbtest::streamBytes(rgbtest::patternImage(1, 2, 2), 1, 2, 2, {1}, 4), 2, 2,
       RGB_ESIZECHANGE, "its frames are 2x2x4, the new ones 2x2x3."},
      {"a partial frame", stray, 2, 2, RGB_ETRUNCATED,
       "it ends inside a frame (5 bytes after the last whole frame)."},
      {"a first header cut short", Bytes(header.begin(), header.begin() + 7), 1, 1, RGB_ETRUNCATED,
       "it ends inside a frame (7 bytes after the last whole frame)."},
      {"no frame stream", notAStream, 2, 2, RGB_EMAGIC,
       "it does not begin with a valid frame header (wrong magic number: not an RGB stream)."},
      {"a short file that is no stream", textBytes("hello\n\n"), 2, 2, RGB_EMAGIC,
       "it does not begin with a valid frame header (wrong magic number: not an RGB stream)."},
  };
  for (const Case& c : cases) {
    for (const Face face : kFaces) {
      SCOPED_TRACE(std::string(c.name) + ", " + nameOf(face));
      rgbtest::TempDir dir;
      const std::string path = dir.file("s.rgb");
      rgbtest::writeFile(path, c.file);
      Bytes image = rgbtest::patternImage(2, c.width, c.height, 4);
      image.push_back(0);  // never a null pointer, also without pixels
      int status = RGB_OK;
      bool appended = true;
      const rgbtest::Output output =
          rgbtest::capture([&] { appended = appendFrames(face, path, image, c.width, c.height, {7, 8}, 0, &status); });
      EXPECT_FALSE(appended);
      EXPECT_EQ(rgbtest::readFile(path), c.file);
      const bool classic = face == Face::TimeFile || face == Face::File;
      EXPECT_EQ(output.err, classic ? "ERROR: cannot append to RGB image file " + path + ": " + c.why + "\n" : "");
      EXPECT_EQ(output.out, "");
      if (!classic) {
        EXPECT_EQ(status, c.status);
      }
    }
  }
}

TEST(AppendsContinueTheStream, CutPartialCutsBackToTheLastWholeFrame) {
  const Bytes image = rgbtest::patternImage(3, 2, 2, 5);
  const Bytes two = rgbtest::streamBytes(image, 2, 2, 2, {1, 2});
  const Bytes added = rgbtest::frameBytes(image, 0, 2, 2, 9);
  Bytes partial = two;
  partial.insert(partial.end(), 100, 0x44);
  Bytes changed = partial;
  const Bytes header = rgbtest::headerBytes({});
  struct Case {
    const char* name;
    Bytes file;
    int width;
    int status;
    Bytes after;
  };
  Bytes twoThenAdded = two;
  rgbtest::append(twoThenAdded, added);
  const Case cases[] = {
      {"stray bytes", partial, 2, RGB_OK, twoThenAdded},
      {"a first header cut short", Bytes(header.begin(), header.begin() + 7), 2, RGB_OK, added},
      // Refused for another reason: never cut.
      {"another size", partial, 1, RGB_ESIZECHANGE, partial},
      {"no frame stream", textBytes("hello\n\n"), 2, RGB_EMAGIC, textBytes("hello\n\n")},
  };
  for (const Case& c : cases) {
    for (const Face face : {Face::Put, Face::PutFrames}) {
      SCOPED_TRACE(std::string(c.name) + ", " + nameOf(face));
      rgbtest::TempDir dir;
      const std::string path = dir.file("s.rgb");
      rgbtest::writeFile(path, c.file);
      int status = RGB_OK;
      appendFrames(face, path, image, c.width, 2, {9}, RGB_CUT_PARTIAL, &status);
      EXPECT_EQ(status, c.status);
      EXPECT_EQ(rgbtest::readFile(path), c.after);
    }
  }
}

// 65,535 is the largest side a header holds: every writer takes it and
// every reader gives it back.
TEST(WritesFrames, TheLargestSidesRoundTripThroughEveryWriterAndReader) {
  for (const auto& size : {std::pair{65535, 1}, std::pair{1, 65535}}) {
    const Bytes image = rgbtest::patternImage(1, size.first, size.second, 8);
    for (const Face face : {Face::TimeFile, Face::Put}) {
      SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second) + ", " + nameOf(face));
      rgbtest::TempDir dir;
      const std::string path = dir.file("wide.rgb");
      ASSERT_TRUE(appendFrames(face, path, image, size.first, size.second, {3}));
      const Loaded classic = rgbtest::loadFile(path);
      EXPECT_EQ(classic.frames, 1);
      EXPECT_EQ(classic.width, size.first);
      EXPECT_EQ(classic.height, size.second);
      EXPECT_TRUE(classic.pixels == image);

      rgb_reader* reader = nullptr;
      ASSERT_EQ(rgb_reader_open(&reader, path.c_str()), RGB_OK);
      Bytes pixels(image.size());
      rgb_frame_info info{};
      EXPECT_EQ(rgb_reader_next(reader, pixels.data(), pixels.size(), 0, &info), RGB_OK);
      rgb_reader_close(reader);
      EXPECT_EQ(info.width, size.first);
      EXPECT_EQ(info.height, size.second);
      EXPECT_TRUE(pixels == image);
    }
  }
}

TEST(WritesFrames, PutFramesAppendsTheBatchOrRefusesIt) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("batch.rgb");
  const Bytes image = rgbtest::patternImage(3, 4, 3, 2);
  const std::vector<int32_t> stamps{4, 5, 6};
  rgb_writer* writer = nullptr;
  ASSERT_EQ(rgb_writer_open(&writer, path.c_str()), RGB_OK);
  EXPECT_EQ(rgb_writer_put_frames(writer, image.data(), 4, 3, 3, stamps.data(), 0), RGB_OK);
  EXPECT_EQ(rgb_writer_put_frames(writer, nullptr, 4, 3, 0, nullptr, 0), RGB_OK);
  EXPECT_EQ(rgb_writer_put_frames(writer, image.data(), 4, 3, 2, nullptr, 0), RGB_EINVAL);
  EXPECT_EQ(rgb_writer_put_frames(writer, image.data(), 4, 3, -1, stamps.data(), 0), RGB_EINVAL);
  EXPECT_EQ(rgb_writer_put_frames(writer, image.data(), 65535, 65535, INT64_MAX / 4, stamps.data(), 0),
            RGB_ETOOLARGE);
  EXPECT_EQ(rgb_writer_close(writer), RGB_OK);
  EXPECT_EQ(rgbtest::readFile(path), rgbtest::streamBytes(image, 3, 4, 3, {4, 5, 6}));
}
