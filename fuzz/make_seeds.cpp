// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Writes the seed corpus for the fuzz targets into the folder named on the
// command line: small valid streams (RGB and RGBA, odd widths, several
// frames) and the usual kinds of damage (stray bytes, a truncated last frame,
// bad header fields, frames of different sizes, sizes declared with no data).
// The bytes are built from the format itself, with the test suites' header
// builder, not with the library.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;
using rgbtest::headerBytes;

// A frame's header fields, with the pixel pattern of frame number `seed`.
struct Frame : rgbtest::HeaderFields {
  unsigned seed = 0;
};

// Header plus planar pixels in a pattern that differs per plane and pixel.
Bytes frame(const Frame& f) {
  Bytes b = headerBytes(f);
  const std::size_t pixels = std::size_t{f.xsize} * f.ysize;
  for (std::size_t c = 0; c < f.zsize; ++c)
    for (std::size_t p = 0; p < pixels; ++p)
      b.push_back(static_cast<uint8_t>(p * 37 + c * 91 + f.seed * 13 + 5));
  return b;
}

// `count` frames of one size with stamps 40 ms apart from `firstStamp`.
Bytes frames(Frame f, int count, int32_t firstStamp = 1000) {
  Bytes b;
  for (int n = 0; n < count; ++n) {
    f.timestamp = firstStamp + 40 * n;
    f.seed = static_cast<unsigned>(n);
    const Bytes one = frame(f);
    b.insert(b.end(), one.begin(), one.end());
  }
  return b;
}

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& part : parts) b.insert(b.end(), part.begin(), part.end());
  return b;
}

Bytes cut(Bytes b, std::size_t drop) {
  b.resize(b.size() - drop);
  return b;
}

Frame sized(uint16_t width, uint16_t height, uint16_t planes = 3) {
  Frame f;
  f.xsize = width;
  f.ysize = height;
  f.zsize = planes;
  return f;
}

bool save(const std::string& folder, const std::string& name, const Bytes& bytes) {
  std::ofstream file(folder + "/" + name, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];

  Frame example = sized(2, 1);
  example.timestamp = 1000;
  Bytes example_bytes = headerBytes(example);
  for (const int v : {1, 4, 2, 5, 3, 6}) example_bytes.push_back(static_cast<uint8_t>(v));

  Frame badMagic = sized(3, 2);
  badMagic.magic = 0xDA01;
  Frame compressed = sized(3, 2);
  compressed.storage = 1;
  Frame wideChannels = sized(3, 2);
  wideChannels.bpc = 2;
  Frame flat = sized(3, 2);
  flat.dimension = 2;
  Frame grey = sized(3, 2, 1);
  Bytes secondDamaged = frames(sized(4, 2), 2);
  secondDamaged[536] = 0;  // magic of frame 1

  const std::vector<std::pair<std::string, Bytes>> seeds = {
      {"empty", {}},
      {"short_header", Bytes(100, 0)},
      {"rgb_2x1_example", example_bytes},
      {"rgb_1x1_one_frame", frames(sized(1, 1), 1)},
      {"rgb_3x2_three_frames", frames(sized(3, 2), 3)},
      {"rgb_9x7_two_frames", frames(sized(9, 7), 2)},
      {"rgba_5x3_two_frames", frames(sized(5, 3, 4), 2)},
      {"rgba_1x2_three_frames", frames(sized(1, 2, 4), 3)},
      {"rgb_7x5_four_frames_stray", joined({frames(sized(7, 5), 4), Bytes(37, 0x55)})},
      {"rgb_4x2_truncated_last", cut(frames(sized(4, 2), 3), 7)},
      {"rgba_3x3_truncated_header", cut(frames(sized(3, 3, 4), 3), 512 + 36 - 100)},
      {"rgb_0x4_empty_frames", frames(sized(0, 4), 3)},
      {"rgb_mismatched_sizes", joined({frames(sized(4, 2), 1), frames(sized(2, 4), 1),
                                       frames(sized(4, 2, 4), 1)})},
      {"rgb_second_header_damaged", secondDamaged},
      {"rgb_stamps_across_wrap", frames(sized(3, 1), 3, 9999950)},
      {"rgb_huge_declared", joined({headerBytes(sized(65535, 65535)), Bytes(64, 1)})},
      {"rgba_wide_declared", joined({headerBytes(sized(65535, 1, 4)), Bytes(300, 2)})},
      {"bad_magic", frame(badMagic)},
      {"compressed", frame(compressed)},
      {"two_bytes_per_channel", frame(wideChannels)},
      {"two_dimensions", frame(flat)},
      {"one_plane", frame(grey)},
  };
  for (const auto& [name, bytes] : seeds) {
    if (!save(out, name, bytes)) {
      std::fprintf(stderr, "%s: cannot write %s/%s\n", argv[0], out.c_str(), name.c_str());
      return 1;
    }
  }
  return 0;
}
