// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The frame header: what is accepted, what is rejected and in which order,
// the byte-order helpers and the clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/time.h>

#include "rgb/header.h"
#include "rgb/rgb.h"
#include "tests/support/test_support.h"

using rgbtest::Bytes;
using rgbtest::HeaderFields;
using rgbtest::Stream;
using rgbtest::streamOver;

namespace {

struct HeaderRead {
  int result;
  RGBHeader header;
  rgbtest::Output output;
  long position;
};

// The record starts out filled with 0xAB, so that whatever a read leaves
// in it is told apart from what was there before.
HeaderRead readHeader(const Bytes& bytes) {
  Stream stream = streamOver(bytes);
  HeaderRead r{};
  std::memset(&r.header, 0xAB, sizeof r.header);
  r.output = rgbtest::capture([&] { r.result = readRGBHeader(stream.get(), &r.header); });
  r.position = std::ftell(stream.get());
  return r;
}

HeaderFields validFields() {
  HeaderFields fields;
  fields.xsize = 640;
  fields.ysize = 480;
  fields.pixmin = -7;
  fields.pixmax = 70000;
  fields.colormap = 0x01020304;
  fields.timestamp = 9999999;
  return fields;
}

}  // namespace

TEST(ReadsHeaders, AcceptsRgbAndConvertsFieldsToHostOrder) {
  const HeaderRead r = readHeader(rgbtest::headerBytes(validFields()));
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.output.out, "");
  EXPECT_EQ(r.output.err, "");
  EXPECT_EQ(r.header.MAGIC, 474);
  EXPECT_EQ(r.header.STORAGE, 0);
  EXPECT_EQ(r.header.BPC, 1);
  EXPECT_EQ(r.header.DIMENSION, 3);
  EXPECT_EQ(r.header.XSIZE, 640);
  EXPECT_EQ(r.header.YSIZE, 480);
  EXPECT_EQ(r.header.ZSIZE, 3);
  EXPECT_EQ(r.header.PIXMIN, -7);
  EXPECT_EQ(r.header.PIXMAX, 70000);
  EXPECT_EQ(r.header.COLORMAP, 0x01020304);
  EXPECT_EQ(r.header.TIMESTAMP, 9999999);
  EXPECT_EQ(r.position, 512);
}

TEST(ReadsHeaders, AcceptsRgbaWithOneWarningPerRead) {
  HeaderFields fields = validFields();
  fields.zsize = 4;
  Bytes two = rgbtest::headerBytes(fields);
  rgbtest::append(two, rgbtest::headerBytes(fields));
  Stream stream = streamOver(two);
  RGBHeader header;
  const auto output = rgbtest::capture([&] {
    EXPECT_EQ(readRGBHeader(stream.get(), &header), 1);
    EXPECT_EQ(readRGBHeader(stream.get(), &header), 1);
  });
  EXPECT_EQ(output.err,
            "warning: ignoring alpha channel (4th byte)\nwarning: ignoring alpha channel (4th byte)\n");
  EXPECT_EQ(output.out, "");
  EXPECT_EQ(header.ZSIZE, 4);
}

TEST(ReadsHeaders, RejectsEachBadFieldWithItsMessage) {
  struct Case {
    const char* what;
    void (*damage)(HeaderFields&);
    const char* message;
  };
  const Case cases[] = {
      {"byte-swapped magic", [](HeaderFields& s) { s.magic = 0xDA01; },
       "ERROR: image has wrong magic number: 55809. not an IRIS/RGB file.\n"},
      {"run-length storage", [](HeaderFields& s) { s.storage = 1; },
       "ERROR: image not uncompressed: 1.\n"},
      {"two bytes per channel", [](HeaderFields& s) { s.bpc = 2; },
       "ERROR: image has not 1 byte per pixel channel: 2.\n"},
      {"dimension 2", [](HeaderFields& s) { s.dimension = 2; },
       "ERROR: image(s) is/are not an 2D image or 2D image sequence: 2.\n"},
      {"one plane", [](HeaderFields& s) { s.zsize = 1; },
       "ERROR: image is not pure RGB image content: 1.\n"},
      {"five planes", [](HeaderFields& s) { s.zsize = 5; },
       "ERROR: image is not pure RGB image content: 5.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HeaderFields fields = validFields();
    c.damage(fields);
    const HeaderRead r = readHeader(rgbtest::headerBytes(fields));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.output.err, c.message);
    EXPECT_EQ(r.output.out, "");
    // The whole header is consumed and its fields stay converted.
    EXPECT_EQ(r.position, 512);
    EXPECT_EQ(r.header.XSIZE, 640);
  }
}

TEST(ReadsHeaders, ReportsOnlyTheFirstFailingCheck) {
  HeaderFields fields = validFields();
  fields.storage = 1;
  fields.bpc = 2;
  fields.dimension = 2;
  fields.zsize = 1;
  EXPECT_EQ(readHeader(rgbtest::headerBytes(fields)).output.err,
            "ERROR: image not uncompressed: 1.\n");
  fields.magic = 1;
  EXPECT_EQ(readHeader(rgbtest::headerBytes(fields)).output.err,
            "ERROR: image has wrong magic number: 1. not an IRIS/RGB file.\n");
}

TEST(ReadsHeaders, ShortStreamsReportTheBytesReadOnStdout) {
  Bytes hundred = rgbtest::headerBytes(validFields());
  hundred.resize(100);
  HeaderRead r = readHeader(hundred);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.output.out, "error reading 100 RGB header bytes.\n");
  EXPECT_EQ(r.output.err, "");
  EXPECT_EQ(r.position, 100);

  r = readHeader(Bytes{});
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.output.out, "error reading 0 RGB header bytes.\n");
  // A read that got nothing clears the magic: a caller that looks at it
  // after a failure never takes the record for a header.
  EXPECT_EQ(r.header.MAGIC, 0);
}

TEST(WritesHeaders, WritesTheRecordAsItStands) {
  RGBHeader header = rgb::streamHeader(2, 1);
  rgb::setStreamTimestamp(&header, 1000);
  Stream stream(std::tmpfile());
  EXPECT_EQ(writeRGBHeader(stream.get(), &header), 1);
  std::rewind(stream.get());
  Bytes written(600);
  written.resize(std::fread(written.data(), 1, written.size(), stream.get()));
  HeaderFields fields;
  fields.xsize = 2;
  fields.timestamp = 1000;
  EXPECT_EQ(written, rgbtest::headerBytes(fields));
}

TEST(WritesHeaders, ReportsAShortWrite) {
  FILE* readOnly = std::fopen("/dev/null", "rb");
  ASSERT_NE(readOnly, nullptr);
  const RGBHeader header = rgb::streamHeader(1, 1);
  int result = -1;
  const auto output = rgbtest::capture([&] { result = writeRGBHeader(readOnly, &header); });
  std::fclose(readOnly);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output.err, "error writing 0 RGB header bytes.\n");
}

TEST(SwapsBytes, EachHelperMovesTheBytesItNames) {
  uint16_t s = 0x1122;
  swap_ushort(&s);
  EXPECT_EQ(s, 0x2211);
  uint32_t halves = 0x11223344u;
  swap_uint(&halves);
  EXPECT_EQ(halves, 0x22114433u);
  uint32_t whole = 0x11223344u;
  swap_uuint(&whole);
  EXPECT_EQ(whole, 0x44332211u);
  swap_uuint(&whole);
  EXPECT_EQ(whole, 0x11223344u);
}

TEST(Clock, CountsMillisecondsWithinTenThousandSeconds) {
  EXPECT_EQ(rgb::timeStampAt(12345, 678901), 2345678);
  EXPECT_EQ(rgb::timeStampAt(1700000000, 0), 0);
  EXPECT_EQ(rgb::timeStampAt(1699999999, 999999), 9999999);
}

TEST(Clock, GetTimeFollowsTheWallClock) {
  timeval before{};
  timeval after{};
  gettimeofday(&before, nullptr);
  const int now = get_time();
  gettimeofday(&after, nullptr);
  const int low = rgb::timeStampAt(before.tv_sec, before.tv_usec);
  const int high = rgb::timeStampAt(after.tv_sec, after.tv_usec);
  if (low <= high) {
    EXPECT_GE(now, low);
    EXPECT_LE(now, high);
  } else {  // the cycle wrapped between the two readings
    EXPECT_TRUE(now >= low || now <= high);
  }
}

TEST(Clock, DiffTimeDoesNotCorrectTheWrap) {
  EXPECT_EQ(diff_time(100, 9999900), -9999800);
  EXPECT_EQ(diff_time(9999900, 100), 9999800);
  EXPECT_EQ(diff_time(5, 5), 0);
}
