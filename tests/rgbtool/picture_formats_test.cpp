// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// import of pictures in every common flavour, cross-checked against two
// independent decoders: netpbm's and ImageMagick's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

struct Flavour {
  const char* name;
  const char* make;     // ImageMagick options that make the flavour
  const char* file;     // its name, with the format as ImageMagick's prefix
  const char* netpbm;   // netpbm's decoder for it
  int tolerance;        // lossy formats: decoders may round differently
  int imageMagickSlack; // ImageMagick 6 cuts 16-bit samples to 8 instead of rounding
};

int largestDifference(const Picture& a, const Picture& b) {
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  if (a.rgb.size() != b.rgb.size()) return 256;
  int largest = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i)
    largest = std::max(largest, std::abs(int{a.rgb[i]} - int{b.rgb[i]}));
  return largest;
}

class PictureFlavours : public ::testing::TestWithParam<Flavour> {};

TEST_P(PictureFlavours, ImportAgreesWithNetpbmAndImageMagick) {
  for (const char* program : {"convert", "pamdepth", "sgitopnm", "tifftopnm", "jpegtopnm"})
    ASSERT_FALSE(findProgram(program).empty()) << program << " is missing: run scripts/install-deps";
  const Flavour& flavour = GetParam();
  rgbtest::TempDir dir;
  writePpm(dir.file("src.ppm"), patternPicture(37, 23, 4));
  const std::string file = std::string(flavour.file);
  const std::string picture = dir.file(file.substr(file.find(':') + 1));
  const Outcome made = runProgram(
      {"bash", "-c", "convert \"$1\" " + std::string(flavour.make) + " \"$2\"", "sh",
       dir.file("src.ppm"), file.substr(0, file.find(':') + 1) + picture});
  ASSERT_EQ(made.status, 0) << made.err;

  const Outcome in = runTool({"import", dir.file("s.rgb"), picture});
  ASSERT_EQ(in.status, 0) << in.err;
  ASSERT_EQ(runTool({"export", dir.file("s.rgb"), dir.file("ours.ppm")}).status, 0);
  const Picture ours = readPpm(dir.file("ours.ppm"));

  const Outcome netpbm = runProgram(
      {"bash", "-c",
       "set -o pipefail; " + std::string(flavour.netpbm) +
           " \"$1\" | pamtopnm | pamdepth 255 | ppmtoppm > \"$2\"",
       "sh", picture, dir.file("netpbm.ppm")});
  ASSERT_EQ(netpbm.status, 0) << netpbm.err;
  EXPECT_LE(largestDifference(ours, readPpm(dir.file("netpbm.ppm"))), flavour.tolerance);

  const Outcome magick = runProgram(
      {"convert", picture, "-alpha", "off", "-depth", "8", "ppm:" + dir.file("magick.ppm")});
  ASSERT_EQ(magick.status, 0) << magick.err;
  EXPECT_LE(largestDifference(ours, readPpm(dir.file("magick.ppm"))),
            flavour.tolerance + flavour.imageMagickSlack);
}

// Sixteen-bit flavours are darkened first, so that their samples are not
// 8-bit values widened and their rounding to 8 bits shows.
#define WIDE "-depth 16 -evaluate multiply 0.83 "

INSTANTIATE_TEST_SUITE_P(
    Flavours, PictureFlavours,
    ::testing::Values(
        Flavour{"sgi_rle", "-compress RLE", "sgi:p.sgi", "sgitopnm", 0, 0},
        Flavour{"sgi_plain", "-compress None", "sgi:p.sgi", "sgitopnm", 0, 0},
        Flavour{"sgi_grey", "-colorspace Gray", "sgi:p.sgi", "sgitopnm", 0, 0},
        Flavour{"sgi_grey_alpha", "-colorspace Gray -alpha set -channel A -evaluate set 40% +channel",
                "sgi:p.sgi", "sgitopnm", 0, 0},
        Flavour{"sgi_rgba", "-alpha set -channel A -evaluate set 40% +channel", "sgi:p.sgi",
                "sgitopnm", 0, 0},
        Flavour{"sgi_16_bit", WIDE, "sgi:p.sgi", "sgitopnm", 0, 1},
        Flavour{"sgi_16_bit_grey", WIDE "-colorspace Gray", "sgi:p.sgi", "sgitopnm", 0, 1},
        Flavour{"tiff_plain", "-compress None", "tif:p.tif", "tifftopnm", 0, 0},
        Flavour{"tiff_lzw_16_bit", WIDE "-compress LZW", "tif:p.tif", "tifftopnm", 0, 1},
        Flavour{"tiff_grey_zip", "-colorspace Gray -compress Zip", "tif:p.tif", "tifftopnm", 0, 0},
        Flavour{"tiff_rgba", "-type TrueColorAlpha -compress None", "tif:p.tif", "tifftopnm", 0, 0},
        Flavour{"jpeg", "-quality 90", "jpg:p.jpg", "jpegtopnm", 3, 0},
        Flavour{"jpeg_grey", "-colorspace Gray", "jpg:p.jpg", "jpegtopnm", 3, 0},
        Flavour{"pgm", "-colorspace Gray", "pgm:p.pgm", "cat", 0, 0},
        Flavour{"ppm_16_bit", WIDE, "ppm:p.ppm", "cat", 0, 1}),
    [](const auto& row) { return std::string(row.param.name); });

// export in each format, read back by netpbm and by ImageMagick.
struct ExportFormat {
  const char* name;
  const char* netpbm;
};

class ExportFormats : public ::testing::TestWithParam<ExportFormat> {};

TEST_P(ExportFormats, ReadBackExactlyByNetpbmAndImageMagick) {
  const ExportFormat& format = GetParam();
  rgbtest::TempDir dir;
  const Picture source = patternPicture(29, 17, 6);
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frameOfPicture(source), 1, 29, 17, {40}));
  const std::string out = dir.file(std::string("out.") + format.name);
  const Outcome run = runTool({"export", dir.file("s.rgb"), out});
  ASSERT_EQ(run.status, 0) << run.err;
  const Outcome netpbm = runProgram(
      {"bash", "-c", "set -o pipefail; " + std::string(format.netpbm) + " \"$1\" | pamtopnm > \"$2\"",
       "sh", out, dir.file("netpbm.ppm")});
  ASSERT_EQ(netpbm.status, 0) << netpbm.err;
  EXPECT_EQ(readPpm(dir.file("netpbm.ppm")).rgb, source.rgb);
  ASSERT_EQ(runProgram({"convert", out, "-depth", "8", "ppm:" + dir.file("magick.ppm")}).status, 0);
  EXPECT_EQ(readPpm(dir.file("magick.ppm")).rgb, source.rgb);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportFormats,
                         ::testing::Values(ExportFormat{"png", "pngtopam"},
                                           ExportFormat{"ppm", "cat"},
                                           ExportFormat{"tiff", "tifftopnm"}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rgbtooltest
