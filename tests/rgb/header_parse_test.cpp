// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgb_header_parse: the readers' judgement of a header, on bytes in memory.
#include <gtest/gtest.h>

#include "rgb/rgb.h"
#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;
using rgbtest::HeaderFields;

struct ParseCase {
  const char* name;
  HeaderFields fields;
  int status;
};

HeaderFields with(void (*change)(HeaderFields&)) {
  HeaderFields fields;
  fields.xsize = 640;
  fields.ysize = 480;
  fields.timestamp = 9999999;
  change(fields);
  return fields;
}

TEST(HeaderParse, JudgesAsTheReadersDo) {
  const std::vector<ParseCase> cases{
      {"RGB", with([](HeaderFields&) {}), RGB_OK},
      {"RGBA", with([](HeaderFields& f) { f.zsize = 4; }), RGB_OK},
      {"magic", with([](HeaderFields& f) { f.magic = 475; }), RGB_EMAGIC},
      {"byte-swapped magic", with([](HeaderFields& f) { f.magic = 0xDA01; }), RGB_EMAGIC},
      {"storage", with([](HeaderFields& f) { f.storage = 1; }), RGB_ESTORAGE},
      {"bpc", with([](HeaderFields& f) { f.bpc = 2; }), RGB_EBPC},
      {"dimension", with([](HeaderFields& f) { f.dimension = 2; }), RGB_EDIMENSION},
      {"planes", with([](HeaderFields& f) { f.zsize = 1; }), RGB_EPLANES},
      {"magic before planes", with([](HeaderFields& f) { f.magic = 1; f.zsize = 9; }), RGB_EMAGIC},
  };
  for (const ParseCase& c : cases) {
    const Bytes bytes = rgbtest::headerBytes(c.fields);
    rgb_frame_info info{};
    info.index = 77;
    uint64_t frameBytes = 0;
    EXPECT_EQ(rgb_header_parse(bytes.data(), bytes.size(), &info, &frameBytes), c.status) << c.name;
    if (c.status != RGB_OK) continue;
    EXPECT_EQ(info.width, 640) << c.name;
    EXPECT_EQ(info.height, 480) << c.name;
    EXPECT_EQ(info.planes, c.fields.zsize) << c.name;
    EXPECT_EQ(info.stamp, 9999999) << c.name;
    EXPECT_EQ(info.index, 0) << c.name;
    EXPECT_EQ(frameBytes, 512U + 640U * 480U * c.fields.zsize) << c.name;
  }
}

TEST(HeaderParse, ShortOrMissingBytes) {
  const Bytes bytes = rgbtest::headerBytes(HeaderFields{});
  rgb_frame_info info{};
  EXPECT_EQ(rgb_header_parse(bytes.data(), 511, &info, nullptr), RGB_ESHORTHEADER);
  EXPECT_EQ(rgb_header_parse(bytes.data(), 0, &info, nullptr), RGB_ESHORTHEADER);
  EXPECT_EQ(rgb_header_parse(nullptr, 512, &info, nullptr), RGB_EINVAL);
  EXPECT_EQ(rgb_header_parse(bytes.data(), 512, nullptr, nullptr), RGB_EINVAL);
  // More than a header is fine: only the first 512 bytes count.
  Bytes longer = bytes;
  longer.resize(4096, 0xEE);
  EXPECT_EQ(rgb_header_parse(longer.data(), longer.size(), &info, nullptr), RGB_OK);
  EXPECT_EQ(info.width, 1);
}

}  // namespace
