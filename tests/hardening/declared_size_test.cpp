// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A header may declare a frame of gigabytes that no bytes back: a reader
// that sizes the caller's buffer itself (rgb_reader_next_grow) must spend
// memory on the bytes that arrive, not on the size declared. Measured as the
// growth of the peak resident memory of a child process that reads such a
// stream from a file and from a FIFO.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "rgb/rgb.h"
#include "tests/hardening/child.h"
#include "tests/hardening/fifo.h"
#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;

constexpr uint16_t kDeclared = 30000;  // 30000 x 30000: 2.7 GB a frame
constexpr long kPeakGrowthLimitKiB = 8 * 1024;
constexpr std::size_t kSentAfterHeader = std::size_t{1} << 20;

Bytes hostileHeader() {
  rgbtest::HeaderFields fields;
  fields.xsize = kDeclared;
  fields.ysize = kDeclared;
  return rgbtest::headerBytes(fields);
}

long peakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Reads one frame with the reader sizing the buffer; exits 0 when the read
// says the stream ends inside the frame, nothing was allocated for the
// caller, and the peak grew by less than the limit; prints the growth.
int readGrowing(const std::string& path) {
  const long before = peakKiB();
  rgb_reader* reader = nullptr;
  if (rgb_reader_open(&reader, path.c_str()) != RGB_OK) return 2;
  unsigned char* pixels = nullptr;
  std::size_t capacity = 0;
  const int status = rgb_reader_next_grow(reader, &pixels, &capacity, 0, nullptr);
  rgb_reader_close(reader);
  const long growth = peakKiB() - before;
  std::printf("%ld KiB\n", growth);
  std::free(pixels);
  if (status != RGB_ETRUNCATED) return 3;
  if (pixels || capacity != 0) return 4;
  return growth < kPeakGrowthLimitKiB ? 0 : 5;
}

TEST(DeclaredSizes, AHugeFrameWithoutItsBytesCostsOnlyTheBytesThatCame) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("hostile.rgb");
  rgbtest::writeFile(file, hostileHeader());
  const hardening::Ended fromFile = hardening::runInChild([&] { return readGrowing(file); });
  EXPECT_EQ(fromFile.status, 0) << "file: " << fromFile.out << fromFile.err;

  const std::string fifo = dir.file("hostile.fifo");
  hardening::makeFifo(fifo);
  hardening::Child reader([&] { return readGrowing(fifo); });
  Bytes sent = hostileHeader();
  sent.resize(sent.size() + kSentAfterHeader, 0x5A);
  {
    const int fd = hardening::openFifoWriter(fifo);
    hardening::writeAll(fd, sent.data(), sent.size());
    close(fd);
  }
  const hardening::Ended fromFifo = reader.wait();
  EXPECT_EQ(fromFifo.status, 0) << "FIFO: " << fromFifo.out << fromFifo.err;
}

}  // namespace
