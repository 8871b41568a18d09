// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The viewer given damaged frame files under a real X server: it prints the
// reader's messages, exits with status 1, opens no window and never crashes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/hardening/fifo.h"
#include "tests/support/test_support.h"
#include "tests/viewer/xserver.h"

namespace {

using rgbtest::Bytes;

constexpr int kFailure = 1;

Bytes header(uint16_t width, uint16_t height, uint16_t zsize = 3) {
  rgbtest::HeaderFields fields;
  fields.xsize = width;
  fields.ysize = height;
  fields.zsize = zsize;
  return rgbtest::headerBytes(fields);
}

Bytes frames(int count, int width, int height) {
  std::vector<int32_t> stamps(static_cast<std::size_t>(count), 40);
  return rgbtest::streamBytes(rgbtest::patternImage(count, width, height), count, width, height,
                              stamps);
}

Bytes joined(Bytes a, const Bytes& b) {
  rgbtest::append(a, b);
  return a;
}

class DamagedFiles : public ::testing::Test {
 protected:
  // One X server for the suite: every run here ends before a window could
  // matter, and each run is checked for windows on its own.
  static void SetUpTestSuite() { server = std::make_unique<xtest::Xvfb>(); }
  static void TearDownTestSuite() { server.reset(); }

  void SetUp() override {
    x = std::make_unique<xtest::Connection>(server->display());
    x->windowsCreatedSinceLastCall();
  }

  // Runs the viewer on a file holding `bytes` and checks what every damaged
  // file must give: status 1, no crash, no window.
  xtest::Exit view(const Bytes& bytes) {
    const std::string path = dir.file("damaged.rgb");
    rgbtest::writeFile(path, bytes);
    return viewPath(path);
  }
  xtest::Exit viewPath(const std::string& path) {
    return expectRefused(xtest::run({ZU_KORVE_PATH, "-0", path}, server->display()));
  }
  // Starts the viewer on a fresh named pipe, where it waits for a writer.
  std::unique_ptr<xtest::Child> viewFifo() {
    hardening::makeFifo(fifo);
    return std::make_unique<xtest::Child>(std::vector<std::string>{ZU_KORVE_PATH, "-0", fifo},
                                          server->display());
  }
  // Writes `bytes` into the pipe as one writer, closes it and waits for the
  // viewer's end, which must be a refusal as for a damaged file.
  xtest::Exit feed(xtest::Child& viewer, const Bytes& bytes) {
    const int writer = hardening::openFifoWriter(fifo);
    hardening::writeAll(writer, bytes.data(), bytes.size());
    close(writer);
    return expectRefused(viewer.wait(xtest::Millis(20000)));
  }
  xtest::Exit expectRefused(const xtest::Exit& exit) {
    EXPECT_TRUE(exit.exited) << "ended by signal " << exit.status << "\n" << exit.err;
    EXPECT_EQ(exit.status, kFailure) << exit.out << exit.err;
    EXPECT_EQ(x->windowsCreatedSinceLastCall(), 0);
    return exit;
  }

  static std::unique_ptr<xtest::Xvfb> server;
  std::unique_ptr<xtest::Connection> x;
  rgbtest::TempDir dir;
  std::string fifo = dir.file("frames.fifo");
};

std::unique_ptr<xtest::Xvfb> DamagedFiles::server;

TEST_F(DamagedFiles, BadMagic) {
  Bytes bytes = frames(1, 4, 2);
  bytes[0] = 0xDA;
  bytes[1] = 0x01;
  const xtest::Exit exit = view(bytes);
  EXPECT_EQ(exit.err, "ERROR: image has wrong magic number: 55809. not an IRIS/RGB file.\n");
  EXPECT_EQ(exit.out, "");
}

TEST_F(DamagedFiles, EveryRejectedHeaderField) {
  const struct {
    std::size_t offset;
    unsigned char value;
    const char* message;
  } cases[] = {
      {2, 1, "ERROR: image not uncompressed: 1.\n"},
      {3, 2, "ERROR: image has not 1 byte per pixel channel: 2.\n"},
      {5, 2, "ERROR: image(s) is/are not an 2D image or 2D image sequence: 2.\n"},
      {11, 1, "ERROR: image is not pure RGB image content: 1.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Bytes bytes = frames(2, 3, 3);
    bytes[c.offset] = c.value;
    const xtest::Exit exit = view(bytes);
    EXPECT_EQ(exit.err, c.message);
    EXPECT_EQ(exit.out, "");
  }
}

TEST_F(DamagedFiles, EmptyFile) {
  const xtest::Exit exit = view({});
  EXPECT_EQ(exit.out, "error reading 0 RGB header bytes.\n");
  EXPECT_EQ(exit.err, "");
}

TEST_F(DamagedFiles, TruncatedHeader) {
  Bytes bytes = frames(1, 4, 2);
  bytes.resize(100);
  const xtest::Exit exit = view(bytes);
  EXPECT_EQ(exit.out, "error reading 100 RGB header bytes.\n");
  EXPECT_EQ(exit.err, "");
}

TEST_F(DamagedFiles, FirstFrameTruncatedInItsPixels) {
  Bytes bytes = frames(1, 5, 3);
  bytes.resize(bytes.size() - 1);
  const xtest::Exit exit = view(bytes);
  EXPECT_EQ(exit.out, "warning: 556 bytes found after last frame.\n");
  EXPECT_EQ(exit.err, "");
}

TEST_F(DamagedFiles, SecondFrameWithADamagedHeader) {
  Bytes bytes = frames(2, 4, 2);
  bytes[536 + 3] = 7;  // bytes per channel of frame 1
  const xtest::Exit exit = view(bytes);
  EXPECT_EQ(exit.err, "ERROR: image has not 1 byte per pixel channel: 7.\n");
  EXPECT_EQ(exit.out, "error reading header of frame no 1.\n");
}

TEST_F(DamagedFiles, MismatchedFramesOfTheSameByteSize) {
  // 4 x 2 then 2 x 4: the count works out, the second frame does not fit.
  const xtest::Exit exit = view(joined(frames(1, 4, 2), frames(1, 2, 4)));
  EXPECT_EQ(exit.err.rfind("ERROR: frame no 1 ", 0), 0u) << exit.err;
  EXPECT_EQ(std::count(exit.err.begin(), exit.err.end(), '\n'), 1) << exit.err;
  EXPECT_EQ(exit.out, "error reading header of frame no 1.\n");
}

TEST_F(DamagedFiles, MismatchedPlaneCount) {
  // An RGBA frame after an RGB one, padded to the RGB frame size.
  Bytes second = joined(header(4, 2, 4), Bytes(24, 9));
  const xtest::Exit exit = view(joined(frames(1, 4, 2), second));
  EXPECT_EQ(exit.err.rfind("warning: ignoring alpha channel (4th byte)\nERROR: frame no 1 ", 0),
            0u)
      << exit.err;
  EXPECT_EQ(exit.out, "error reading header of frame no 1.\n");
}

TEST_F(DamagedFiles, HugeDeclaredSizeWithLittleData) {
  const xtest::Exit exit = view(joined(header(65535, 65535), Bytes(1000, 0x80)));
  EXPECT_EQ(exit.out, "warning: 1512 bytes found after last frame.\n");
  EXPECT_EQ(exit.err, "");
}

TEST_F(DamagedFiles, HugeDeclaredRgbaSizeWithLittleData) {
  const xtest::Exit exit = view(joined(header(65535, 65535, 4), Bytes(70000, 0x80)));
  EXPECT_EQ(exit.out, "warning: 70512 bytes found after last frame.\n");
  EXPECT_EQ(exit.err, "warning: ignoring alpha channel (4th byte)\n");
}

TEST_F(DamagedFiles, LaterFrameDeclaringAHugeSize) {
  // Counted by the first frame's size, rejected when read.
  const Bytes later = joined(header(65535, 65535), Bytes(24, 1));
  const xtest::Exit exit = view(joined(frames(1, 4, 2), later));
  EXPECT_EQ(exit.err.rfind("ERROR: frame no 1 ", 0), 0u) << exit.err;
  EXPECT_EQ(exit.out, "error reading header of frame no 1.\n");
}

TEST_F(DamagedFiles, ZeroSizedPicture) {
  const xtest::Exit exit = view(frames(2, 0, 5));
  EXPECT_EQ(exit.out, "");
  EXPECT_NE(exit.err, "");
  EXPECT_EQ(std::count(exit.err.begin(), exit.err.end(), '\n'), 1) << exit.err;
}

TEST_F(DamagedFiles, MissingFile) {
  const std::string path = dir.file("missing.rgb");
  const xtest::Exit exit = viewPath(path);
  EXPECT_EQ(exit.err, "unable to open RGB image file " + path + " for reading.\n");
  EXPECT_EQ(exit.out, "");
}

TEST_F(DamagedFiles, Directory) {
  const xtest::Exit exit = viewPath(dir.path());
  EXPECT_EQ(exit.out, "error reading 0 RGB header bytes.\n");
  EXPECT_EQ(exit.err, "");
}

TEST_F(DamagedFiles, FifoWaitsForItsWriterThenFailsOnWhatItSends) {
  const auto viewer = viewFifo();
  // Like any reader of a named pipe, the viewer waits for a writer.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(viewer->running());
  Bytes bytes = frames(1, 4, 2);
  bytes[0] = 0;
  const xtest::Exit exit = feed(*viewer, bytes);
  EXPECT_EQ(exit.err, "ERROR: image has wrong magic number: 218. not an IRIS/RGB file.\n");
}

TEST_F(DamagedFiles, FifoWithWholeFramesCannotBeRewoundAfterCounting) {
  // The frame file is counted, then read from its start: a named pipe
  // cannot go back, so even a sound stream through one is refused.
  const auto viewer = viewFifo();
  const xtest::Exit exit = feed(*viewer, frames(2, 4, 2));
  EXPECT_EQ(exit.err, "ERROR: cannot rewind the RGB image stream after counting its frames.\n");
  EXPECT_EQ(exit.out, "");
}

}  // namespace
