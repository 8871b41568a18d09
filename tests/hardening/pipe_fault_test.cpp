// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Faults around pipes and odd frame files: a producer that dies mid-frame,
// a consumer that goes away early (and what SIGPIPE does then), a FIFO with
// no writer, a directory and an empty file given as the frame file.
//
// SIGPIPE: the library never touches signal dispositions. A producer that
// keeps the default disposition is ended by SIGPIPE when its consumer goes
// away, like any program writing into a closed pipe; a producer that wants
// an error result instead ignores SIGPIPE, and then the writer returns 0
// after "error during writing RGB image no. %d.". Both are tested here.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "rgb/rgb.h"
#include "tests/hardening/child.h"
#include "tests/hardening/fifo.h"
#include "tests/support/test_support.h"

namespace {

using hardening::Child;
using hardening::Ended;
using hardening::Millis;
using rgbtest::Bytes;
using rgbtest::capture;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Steps of a child's own checks: it exits with the number of the first one
// that failed, or 0.
struct Steps {
  int failed = 0;
  int next = 0;
  void expect(bool ok) {
    ++next;
    if (!ok && failed == 0) failed = next;
  }
};

bool sameFrame(const unsigned char* images, const Bytes& expected) {
  return images && std::memcmp(images, expected.data(), expected.size()) == 0;
}

class PipeFaults : public ::testing::Test {
 protected:
  void SetUp() override { hardening::makeFifo(fifo); }
  rgbtest::TempDir dir;
  std::string fifo = dir.file("frames.fifo");
  Bytes frame0 = rgbtest::patternImage(1, kWidth, kHeight, 1);
  Bytes frame1 = rgbtest::patternImage(1, kWidth, kHeight, 2);
};

// The first steps of every consumer here: open the FIFO with the pipe
// reader (step 1) and read one frame from it (step 2).
rgbtest::Stream openAndReadFrame(const std::string& fifo, rgbtest::ReadBuffers& r,
                                 Steps& steps) {
  rgbtest::Stream stream(openRGBReadPipe(fifo.c_str()));
  steps.expect(stream != nullptr);
  if (stream) steps.expect(r.readPipe(stream.get()) == 1);
  return stream;
}

// Consumer: reads frame 0 through the pipe reader, then expects the next
// read to fail. Exits with its first failed step.
int consumeOneFrameThenFailure(const std::string& fifo, const Bytes& expected) {
  Steps steps;
  rgbtest::ReadBuffers r;
  const rgbtest::Stream stream = openAndReadFrame(fifo, r, steps);
  if (!stream) return steps.failed;
  steps.expect(r.width == kWidth && r.height == kHeight && sameFrame(r.images, expected));
  steps.expect(r.times && r.times[0] == 111);
  std::fflush(stdout);
  std::fflush(stderr);
  // Only the failing read's messages are left in the output after this.
  std::fprintf(stderr, "--\n");
  std::fprintf(stdout, "--\n");
  steps.expect(r.readPipe(stream.get()) == 0);
  return steps.failed;
}

// Producer: one whole frame, then `extra` raw bytes of the next, then it is
// killed without closing anything.
int produceThenDie(const std::string& fifo, const Bytes& image, const Bytes& partial) {
  FILE* stream = openRGBWritePipe(fifo.c_str());
  if (!stream) return 1;
  const int stamp = 111;
  if (writeRGBTimePipe(stream, image.data(), kWidth, kHeight, &stamp) != 1) return 2;
  std::fwrite(partial.data(), 1, partial.size(), stream);
  std::fflush(stream);
  raise(SIGKILL);
  return 3;
}

std::string afterMarker(const std::string& text) {
  const auto at = text.find("--\n");
  return at == std::string::npos ? "<no marker>" : text.substr(at + 3);
}

TEST_F(PipeFaults, ProducerKilledInThePixelsLeavesTheConsumerAnEofMessage) {
  Bytes partial = rgbtest::frameBytes(frame1, 0, kWidth, kHeight, 222);
  partial.resize(512 + 1000);  // the header and part of the red plane
  Child consumer([&] { return consumeOneFrameThenFailure(fifo, frame0); });
  Child producer([&] { return produceThenDie(fifo, frame0, partial); });
  const Ended produced = producer.wait(Millis(20000));
  const Ended consumed = consumer.wait(Millis(20000));
  EXPECT_FALSE(produced.exited);
  EXPECT_EQ(produced.status, SIGKILL);
  ASSERT_FALSE(consumed.timedOut);
  EXPECT_TRUE(consumed.exited);
  EXPECT_EQ(consumed.status, 0) << consumed.out << consumed.err;
  EXPECT_EQ(afterMarker(consumed.err), "eof during reading RGB image no 0.\n");
  EXPECT_EQ(afterMarker(consumed.out), "");
}

TEST_F(PipeFaults, ProducerKilledInTheHeaderLeavesTheConsumerAShortHeaderMessage) {
  Bytes partial = rgbtest::frameBytes(frame1, 0, kWidth, kHeight, 222);
  partial.resize(100);
  Child consumer([&] { return consumeOneFrameThenFailure(fifo, frame0); });
  Child producer([&] { return produceThenDie(fifo, frame0, partial); });
  producer.wait(Millis(20000));
  const Ended consumed = consumer.wait(Millis(20000));
  ASSERT_FALSE(consumed.timedOut);
  EXPECT_EQ(consumed.status, 0) << consumed.out << consumed.err;
  EXPECT_EQ(afterMarker(consumed.out),
            "error reading 100 RGB header bytes.\nerror reading header of frame no 0.\n");
  EXPECT_EQ(afterMarker(consumed.err), "");
}

// Producer: frames until a write fails, at most `limit`. Exits 0 when a
// write failed after at least one frame went through, 4 when all went.
int produceUntilFailure(const std::string& fifo, const Bytes& image, bool ignoreSigpipe) {
  signal(SIGPIPE, ignoreSigpipe ? SIG_IGN : SIG_DFL);
  FILE* stream = openRGBWritePipe(fifo.c_str());
  if (!stream) return 1;
  constexpr int kLimit = 100000;
  int written = 0;
  for (int n = 0; n < kLimit; ++n) {
    const int stamp = n;
    if (writeRGBTimePipe(stream, image.data(), kWidth, kHeight, &stamp) != 1) break;
    ++written;
  }
  std::fclose(stream);
  if (written == kLimit) return 4;
  return written > 0 ? 0 : 2;
}

// Consumer: one frame, then it closes the pipe and leaves.
int consumeOneFrameAndLeave(const std::string& fifo) {
  const rgbtest::Stream stream(openRGBReadPipe(fifo.c_str()));
  if (!stream) return 1;
  rgbtest::ReadBuffers r;
  return readRGBPipe(stream.get(), &r.images, &r.width, &r.height) == 1 ? 0 : 2;
}

TEST_F(PipeFaults, ConsumerLeavingEndsAProducerThatKeepsSigpipeDefault) {
  Child producer([&] { return produceUntilFailure(fifo, frame0, false); });
  Child consumer([&] { return consumeOneFrameAndLeave(fifo); });
  const Ended consumed = consumer.wait(Millis(20000));
  const Ended produced = producer.wait(Millis(20000));
  EXPECT_TRUE(consumed.exited);
  EXPECT_EQ(consumed.status, 0);
  ASSERT_FALSE(produced.timedOut);
  EXPECT_FALSE(produced.exited) << "status " << produced.status << ": " << produced.err;
  EXPECT_EQ(produced.status, SIGPIPE);
}

TEST_F(PipeFaults, ConsumerLeavingMakesTheWriterFailWhenSigpipeIsIgnored) {
  Child producer([&] { return produceUntilFailure(fifo, frame0, true); });
  Child consumer([&] { return consumeOneFrameAndLeave(fifo); });
  const Ended consumed = consumer.wait(Millis(20000));
  const Ended produced = producer.wait(Millis(20000));
  EXPECT_EQ(consumed.status, 0);
  ASSERT_FALSE(produced.timedOut);
  EXPECT_TRUE(produced.exited);
  EXPECT_EQ(produced.status, 0) << produced.err;
  // Each call writes one frame, numbered 0 within the call.
  EXPECT_EQ(produced.err, "error during writing RGB image no. 0.\n");
  EXPECT_EQ(produced.out, "");
}

TEST_F(PipeFaults, ReadPipeWaitsForAWriterThenReadsItsFrames) {
  // Opening a FIFO for reading waits for a writer, as with any program
  // reading a named pipe; once one comes, its frames arrive.
  Child consumer([&] {
    Steps steps;
    rgbtest::ReadBuffers r;
    if (!openAndReadFrame(fifo, r, steps)) return steps.failed;
    steps.expect(sameFrame(r.images, frame0) && r.times && r.times[0] == 7);
    return steps.failed;
  });
  std::this_thread::sleep_for(Millis(300));
  EXPECT_TRUE(consumer.running()) << "the reader did not wait for a writer";
  const int writer = hardening::openFifoWriter(fifo);
  const Bytes frame = rgbtest::frameBytes(frame0, 0, kWidth, kHeight, 7);
  hardening::writeAll(writer, frame.data(), frame.size());
  close(writer);
  const Ended consumed = consumer.wait(Millis(20000));
  ASSERT_FALSE(consumed.timedOut);
  EXPECT_EQ(consumed.status, 0) << consumed.out << consumed.err;
}

TEST_F(PipeFaults, FileReaderOnAFifoWaitsForAWriterThenFailsBecauseItCannotRewind) {
  // A FIFO can be counted but not rewound, so the file reader reads it to
  // its end and then fails with a message; it never hangs after the writer
  // has closed.
  Child reader([&] {
    rgbtest::ReadBuffers r;
    const int got = readRGBFile(fifo.c_str(), &r.images, &r.width, &r.height);
    return got == 0 && r.images == nullptr ? 0 : 1;
  });
  std::this_thread::sleep_for(Millis(300));
  EXPECT_TRUE(reader.running()) << "the reader did not wait for a writer";
  const int writer = hardening::openFifoWriter(fifo);
  const Bytes stream =
      rgbtest::streamBytes(rgbtest::patternImage(2, kWidth, kHeight), 2, kWidth, kHeight, {1, 2});
  hardening::writeAll(writer, stream.data(), stream.size());
  close(writer);
  const Ended ended = reader.wait(Millis(20000));
  ASSERT_FALSE(ended.timedOut);
  EXPECT_EQ(ended.status, 0);
  EXPECT_EQ(ended.out, "");
  EXPECT_EQ(ended.err, "ERROR: cannot rewind the RGB image stream after counting its frames.\n");
}

TEST_F(PipeFaults, FileReaderOnAFifoWhoseWriterSendsNothingReportsAnEmptyStream) {
  Child reader([&] {
    rgbtest::ReadBuffers r;
    const int got = r.readFile(fifo);
    return got == 0 && r.images == nullptr && r.times == nullptr ? 0 : 1;
  });
  close(hardening::openFifoWriter(fifo));
  const Ended ended = reader.wait(Millis(20000));
  ASSERT_FALSE(ended.timedOut);
  EXPECT_EQ(ended.status, 0);
  EXPECT_EQ(ended.out, "error reading 0 RGB header bytes.\n");
  EXPECT_EQ(ended.err, "");
}

// --- odd things given as the frame file

struct Loaded : rgbtest::ReadBuffers {
  int frames = -1;
};

TEST(OddFrameFiles, DirectoryReadsAsAnEmptyStream) {
  // stdio opens a directory for reading; the first read fails, so the
  // header reader reports that no header bytes arrived.
  rgbtest::TempDir dir;
  Loaded timed;
  Loaded plain;
  const auto output = capture([&] {
    timed.frames = timed.readFile(dir.path());
    plain.frames = readRGBFile(dir.path().c_str(), &plain.images, &plain.width, &plain.height);
  });
  EXPECT_EQ(timed.frames, 0);
  EXPECT_EQ(plain.frames, 0);
  EXPECT_EQ(timed.images, nullptr);
  EXPECT_EQ(timed.times, nullptr);
  EXPECT_EQ(plain.images, nullptr);
  EXPECT_EQ(output.out, "error reading 0 RGB header bytes.\nerror reading 0 RGB header bytes.\n");
  EXPECT_EQ(output.err, "");
}

TEST(OddFrameFiles, DirectoryCannotBeWritten) {
  rgbtest::TempDir dir;
  const Bytes image = rgbtest::patternImage(1, 2, 2);
  const int stamp = 1;
  int timed = -1;
  int plain = -1;
  FILE* pipe = reinterpret_cast<FILE*>(1);
  const auto output = capture([&] {
    timed = writeRGBTimeFile(dir.path().c_str(), image.data(), 2, 2, 1, &stamp);
    plain = writeRGBFile(dir.path().c_str(), image.data(), 2, 2, 1);
    pipe = openRGBWritePipe(dir.path().c_str());
  });
  EXPECT_EQ(timed, 0);
  EXPECT_EQ(plain, 0);
  EXPECT_EQ(pipe, nullptr);
  const std::string name = dir.path();
  EXPECT_EQ(output.err, "unable to open RGB image file " + name + " for writing.\n" +
                            "unable to open RGB image file " + name + " for writing.\n" +
                            "unable to open RGB images pipe " + name + " for writing.\n");
}

TEST(OddFrameFiles, DirectoryAsAReadPipeFailsAtTheFirstFrame) {
  rgbtest::TempDir dir;
  Loaded frame;
  FILE* pipe = nullptr;
  const auto output = capture([&] {
    pipe = openRGBReadPipe(dir.path().c_str());
    if (pipe) frame.frames = readRGBPipe(pipe, &frame.images, &frame.width, &frame.height);
  });
  ASSERT_NE(pipe, nullptr) << output.err;
  std::fclose(pipe);
  EXPECT_EQ(frame.frames, 0);
  EXPECT_EQ(frame.images, nullptr);
  EXPECT_EQ(output.out, "error reading 0 RGB header bytes.\nerror reading header of frame no 0.\n");
}

TEST(OddFrameFiles, ZeroLengthFileHasNoFrames) {
  rgbtest::TempDir dir;
  const std::string path = dir.file("empty.rgb");
  rgbtest::writeFile(path, {});
  Loaded timed;
  Loaded plain;
  int counted = -1;
  const auto output = capture([&] {
    timed.frames = timed.readFile(path);
    plain.frames = readRGBFile(path.c_str(), &plain.images, &plain.width, &plain.height);
    FILE* stream = std::fopen(path.c_str(), "rb");
    counted = getRGBNoOfFrames(stream);
    std::fclose(stream);
  });
  EXPECT_EQ(timed.frames, 0);
  EXPECT_EQ(plain.frames, 0);
  EXPECT_EQ(counted, 0);
  EXPECT_EQ(timed.images, nullptr);
  EXPECT_EQ(timed.times, nullptr);
  EXPECT_EQ(plain.images, nullptr);
  EXPECT_EQ(timed.width, -1);
  EXPECT_EQ(output.out, "error reading 0 RGB header bytes.\nerror reading 0 RGB header bytes.\n"
                        "error reading 0 RGB header bytes.\n");
  EXPECT_EQ(output.err, "");
}

}  // namespace
