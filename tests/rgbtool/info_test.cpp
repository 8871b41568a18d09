// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// info: the figures of generated streams with known stamps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "tests/rgbtool/json_lines.h"
#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

Bytes stream(int width, int height, const std::vector<int32_t>& stamps, uint16_t zsize = 3) {
  const int frames = static_cast<int>(stamps.size());
  return rgbtest::streamBytes(rgbtest::patternImage(frames, width, height), frames, width,
                              height, stamps, zsize);
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ToolInfo, ReportsFiguresOfACleanStream) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s.rgb");
  rgbtest::writeFile(file, stream(7, 5, {1000, 1040, 1080, 1130}));
  const Outcome run = runTool({"info", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, file + ":\n"
                     "  frames:       4\n"
                     "  size:         7 x 5\n"
                     "  planes:       RGB\n"
                     "  frame size:   617 bytes\n"
                     "  stray bytes:  0\n"
                     "  first stamp:  1000 ms\n"
                     "  last stamp:   1130 ms\n"
                     "  intervals:    min 40 / median 40 / max 50 ms\n"
                     "  duration:     130 ms\n"
                     "  frame rate:   23.077 fps\n");
}

TEST(ToolInfo, CountsIntervalsAcrossTheClockWrap) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("wrap.rgb");
  rgbtest::writeFile(file, stream(3, 2, {9999950, 9999990, 30, 75}));
  const Outcome run = runTool({"info", "--frames", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has(run.out, "  first stamp:  9999950 ms\n  last stamp:   75 ms\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  intervals:    min 40 / median 40 / max 45 ms\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  frame rate:   24.000 fps\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  frame 0: stamp 9999950 ms\n"
                           "  frame 1: stamp 9999990 ms, interval 40 ms\n"
                           "  frame 2: stamp 30 ms, interval 40 ms\n"
                           "  frame 3: stamp 75 ms, interval 45 ms\n"))
      << run.out;
}

TEST(ToolInfo, MedianOfAnEvenNumberOfIntervals) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s.rgb");
  rgbtest::writeFile(file, stream(2, 2, {0, 40, 81}));
  const Outcome run = runTool({"info", file});
  EXPECT_TRUE(has(run.out, "  intervals:    min 40 / median 40.5 / max 41 ms\n")) << run.out;
}

TEST(ToolInfo, OneFrameHasNoIntervals) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("one.rgb");
  rgbtest::writeFile(file, stream(2, 2, {77}));
  const Outcome run = runTool({"info", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has(run.out, "  frames:       1\n")) << run.out;
  EXPECT_FALSE(has(run.out, "intervals")) << run.out;
  EXPECT_FALSE(has(run.out, "frame rate")) << run.out;
}

TEST(ToolInfo, ReportsRgbaAndStrayBytes) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("rgba.rgb");
  Bytes bytes = stream(4, 3, {10, 20}, 4);
  bytes.insert(bytes.end(), 100, 0xee);
  rgbtest::writeFile(file, bytes);
  const Outcome run = runTool({"info", file});
  // Judged as check judges it: stray bytes fail the stream.
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.out, "  damaged:      100 stray bytes after the last frame\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  frames:       2\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  planes:       RGBA\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  frame size:   560 bytes\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  stray bytes:  100\n")) << run.out;
}

TEST(ToolInfo, DamagedHeaderReportsTheLibraryMessageAndWhatWasRead) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("bad.rgb");
  Bytes bytes = stream(4, 3, {10, 20, 30});
  bytes[2 * 548] = 0xda;  // third frame's magic number
  bytes[2 * 548 + 1] = 0x01;
  rgbtest::writeFile(file, bytes);
  const Outcome run = runTool({"info", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.out, "  frames:       2\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  last stamp:   20 ms\n")) << run.out;
  const std::string words =
      "frame 2: ERROR: image has wrong magic number: 55809. not an IRIS/RGB file.; 0 whole "
      "frames follow (rgbtool repair keeps 2)";
  EXPECT_TRUE(has(run.out, "  damaged:      " + words + "\n")) << run.out;
  EXPECT_EQ(run.err, "rgbtool: " + file + ": " + words + "\n");
}

TEST(ToolInfo, FrameOfAnotherSizeIsDamage) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("mixed.rgb");
  Bytes bytes = stream(4, 3, {10});
  rgbtest::append(bytes, stream(3, 4, {20}));
  rgbtest::writeFile(file, bytes);
  const Outcome run = runTool({"info", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.out, "  frames:       1\n")) << run.out;
  EXPECT_TRUE(has(run.out, "frame 1: 3 x 4 RGB differs from the first frame's 4 x 3 RGB"))
      << run.out;
}

TEST(ToolInfo, EmptyFileAndShortFile) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("empty.rgb"), {});
  const Outcome empty = runTool({"info", dir.file("empty.rgb")});
  EXPECT_EQ(empty.status, 1);
  EXPECT_TRUE(has(empty.out, "  frames:       0\n")) << empty.out;
  EXPECT_EQ(empty.err, "rgbtool: " + dir.file("empty.rgb") + ": empty file\n");

  Bytes partial = stream(4, 3, {10});
  partial.resize(530);
  rgbtest::writeFile(dir.file("partial.rgb"), partial);
  const Outcome run = runTool({"info", dir.file("partial.rgb")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.out, "  frames:       0\n  size:         4 x 3\n")) << run.out;
  EXPECT_TRUE(has(run.out, "  stray bytes:  530\n")) << run.out;
}

TEST(ToolInfo, ReadsStandardInputToo) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s.rgb");
  Bytes bytes = stream(5, 5, {100, 140, 180});
  bytes.insert(bytes.end(), 30, 1);
  rgbtest::writeFile(file, bytes);
  RunOptions options;
  options.stdinFile = file;
  const Outcome piped = runTool({"info", "-"}, options);
  const Outcome direct = runTool({"info", file});
  EXPECT_EQ(piped.status, 1);  // for the stray bytes
  EXPECT_EQ(piped.out.substr(piped.out.find('\n')), direct.out.substr(direct.out.find('\n')));
  EXPECT_TRUE(has(piped.out, "  stray bytes:  30\n")) << piped.out;
}

TEST(ToolInfo, JsonCarriesTheSameFigures) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s\"q.rgb");
  rgbtest::writeFile(file, stream(7, 5, {9999990, 30}));
  const Outcome run = runTool({"info", "--json", "--frames", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
  EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json::parse(R"({
    "file": ")" + dir.path() + R"(/s\"q.rgb", "ok": true,
    "frames": 2, "width": 7, "height": 5, "planes": "RGB", "stray_bytes": 0,
    "problem": null, "frame_bytes": 617,
    "first_stamp_ms": 9999990, "last_stamp_ms": 30, "duration_ms": 40,
    "min_interval_ms": 40, "median_interval_ms": 40.0, "max_interval_ms": 40,
    "frame_rate": 25.0, "frames_after_damage": null, "repair_keeps": null,
    "frame_list": [
      {"frame": 0, "stamp_ms": 9999990, "interval_ms": null},
      {"frame": 1, "stamp_ms": 30, "interval_ms": 40}
    ]})"));
}

TEST(ToolInfo, JsonOfOneFrameHasNoIntervals) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("one.rgb"), stream(3, 2, {77}));
  const Outcome run = runTool({"info", "--json", dir.file("one.rgb")});
  EXPECT_EQ(run.status, 0);
  const nlohmann::json parsed = nlohmann::json::parse(run.out);
  EXPECT_EQ(parsed["frames"], 1);
  EXPECT_EQ(parsed["first_stamp_ms"], 77);
  EXPECT_EQ(parsed["duration_ms"], 0);
  for (const char* key : {"min_interval_ms", "median_interval_ms", "max_interval_ms", "frame_rate"})
    EXPECT_TRUE(parsed[key].is_null()) << key;
}

TEST(ToolInfo, SeveralFilesOneFailing) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("a.rgb"), stream(2, 2, {1, 2}));
  const Outcome run = runTool({"info", "--json", dir.file("a.rgb"), dir.file("missing.rgb")});
  EXPECT_EQ(run.status, 1);
  const std::vector<nlohmann::json> lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 2u) << run.out;
  EXPECT_EQ(lines[0]["frames"], 2);
  EXPECT_EQ(lines[0]["ok"], true);
  EXPECT_EQ(lines[1]["file"], dir.file("missing.rgb"));
  EXPECT_EQ(lines[1]["ok"], false);
  EXPECT_EQ(lines[1]["problem"], "cannot open: No such file or directory");
  EXPECT_TRUE(lines[1]["frames"].is_null());
  EXPECT_TRUE(lines[1]["width"].is_null());
}

// Sixteen frames of 65535 x 65535 RGBA in a sparse file of 275 GB: reading
// the pixels would take minutes, so this only passes when info and check
// read the headers alone.
TEST(ToolInfo, ReadsOnlyHeaders) {
  constexpr int kFrames = 16;
  constexpr int kSecondsAllowed = 10;
  rgbtest::TempDir dir;
  const std::string file = dir.file("huge.rgb");
  rgbtest::HeaderFields fields;
  fields.xsize = 65535;
  fields.ysize = 65535;
  fields.zsize = 4;
  const uint64_t frameSize = 512 + 65535ull * 65535ull * 4ull;
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  for (int n = 0; n < kFrames; ++n) {
    fields.timestamp = 500 + 40 * n;
    const Bytes header = rgbtest::headerBytes(fields);
    ASSERT_EQ(pwrite(fd, header.data(), header.size(), static_cast<off_t>(frameSize * static_cast<uint64_t>(n))), 512);
  }
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kFrames * frameSize)), 0);
  close(fd);
  const auto start = std::chrono::steady_clock::now();
  const Outcome check = runTool({"check", file});
  const Outcome info = runTool({"info", file});
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, kSecondsAllowed);
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_EQ(info.status, 0);
  EXPECT_TRUE(has(info.out, "  frames:       16\n")) << info.out;
  EXPECT_TRUE(has(info.out, "  intervals:    min 40 / median 40 / max 40 ms\n")) << info.out;
}

}  // namespace
}  // namespace rgbtooltest
