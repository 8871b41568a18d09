// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// import - : every picture of a stream of pictures on standard input, from
// rgbtool's own export and from independent producers, through real pipes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

constexpr int kWidth = 7;
constexpr int kHeight = 5;
constexpr int kFrames = 5;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// Frames whose pixels are grey (red = green = blue) when `grey`, so that a
// grey route must give them back exactly.
Bytes sourceFrames(bool grey) {
  Bytes frames = rgbtest::patternImage(kFrames, kWidth, kHeight, 3);
  if (grey)
    for (std::size_t i = 0; i + 2 < frames.size(); i += 3) frames[i + 1] = frames[i + 2] = frames[i];
  return frames;
}

struct Producer {
  const char* name;
  // Shell words that write pictures to stdout; SRC and TOOL are replaced.
  const char* command;
  bool grey;
};

std::string expand(std::string command, const std::string& source) {
  for (const auto& [key, value] :
       {std::pair<std::string, std::string>{"SRC", quoted(source)}, {"TOOL", quoted(RGBTOOL_PATH)}}) {
    for (std::size_t at; (at = command.find(key)) != std::string::npos;)
      command.replace(at, key.size(), value);
  }
  return command;
}

class PictureStreamIn : public ::testing::TestWithParam<Producer> {};

TEST_P(PictureStreamIn, EveryPictureBecomesAFrame) {
  for (const char* program : {"ffmpeg", "ppmtopgm"})
    ASSERT_FALSE(findProgram(program).empty()) << program << " is missing: run scripts/install-deps";
  const Producer& producer = GetParam();
  rgbtest::TempDir dir;
  const Bytes frames = sourceFrames(producer.grey);
  rgbtest::writeFile(dir.file("src.rgb"),
                     rgbtest::streamBytes(frames, kFrames, kWidth, kHeight, {0, 40, 80, 120, 160}));
  const std::string pipeline = "set -o pipefail 2>/dev/null; " +
                               expand(producer.command, dir.file("src.rgb")) + " | " +
                               quoted(RGBTOOL_PATH) + " import " + quoted(dir.file("out.rgb")) +
                               " -";
  const Outcome run = runProgram({"bash", "-c", pipeline});
  ASSERT_EQ(run.status, 0) << run.err;
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("out.rgb"));
  EXPECT_EQ(loaded.frames, kFrames);
  EXPECT_EQ(loaded.pixels, frames);
}

// Raw frames, top row first, for ffmpeg to turn into pictures.
#define RAW_FRAMES "TOOL export --all --format raw SRC - | "
#define FFMPEG_PIPE "ffmpeg -v error -f rawvideo -pix_fmt rgb24 -s 7x5 -i - -f image2pipe "

INSTANTIATE_TEST_SUITE_P(
    Producers, PictureStreamIn,
    ::testing::Values(
        Producer{"rgbtool_ppm", "TOOL export --all --format ppm SRC -", false},
        Producer{"rgbtool_png", "TOOL export --all --format png SRC -", false},
        Producer{"ffmpeg_ppm", RAW_FRAMES FFMPEG_PIPE "-c:v ppm -", false},
        Producer{"ffmpeg_png", RAW_FRAMES FFMPEG_PIPE "-c:v png -", false},
        Producer{"ffmpeg_png_rgba", RAW_FRAMES FFMPEG_PIPE "-c:v png -pix_fmt rgba -", false},
        Producer{"netpbm_pgm", "TOOL export --all --format ppm SRC - | ppmtopgm", true},
        Producer{"plain_ppm", "TOOL export --all --format ppm SRC - | pnmtoplainpnm", false}),
    [](const auto& row) { return std::string(row.param.name); });

// A stream that goes wrong after its first picture appends nothing and
// names the picture.
struct BadStream {
  const char* name;
  Bytes bytes;
  const char* message;
};

class PictureStreamFault : public ::testing::TestWithParam<BadStream> {};

TEST_P(PictureStreamFault, AppendsNothingAndNamesThePicture) {
  const BadStream& bad = GetParam();
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("in"), bad.bytes);
  RunOptions options;
  options.stdinFile = dir.file("in");
  const Outcome run = runTool({"import", dir.file("out.rgb"), "-"}, options);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.rgb")));
}

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) rgbtest::append(all, part);
  return all;
}

const Bytes kFirst = ppmBytes(patternPicture(4, 2, 1));
const Bytes kShort(kFirst.begin(), kFirst.end() - 1);

INSTANTIATE_TEST_SUITE_P(
    Faults, PictureStreamFault,
    ::testing::Values(
        BadStream{"empty", {}, "standard input: no picture on standard input"},
        BadStream{"other_size", joined({kFirst, ppmBytes(patternPicture(3, 3, 1))}),
                  "picture 1 is 3 x 3, not 4 x 2 as the first"},
        BadStream{"cut_short", joined({kFirst, kFirst, kShort}),
                  "standard input, picture 2: PPM: picture data ends early"},
        BadStream{"trailing_junk", joined({kFirst, Bytes{'j', 'u', 'n', 'k'}}),
                  "standard input, picture 1: not a PNG, PPM or PGM picture"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rgbtooltest
