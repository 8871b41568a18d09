// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Command-line conventions: messages that name the mistake, one judgement
// for info and check, stamp warnings, JSON for any name, overwriting and
// starting afresh, frame runs, pictures from standard input and numbered
// names, frames for ffmpeg, and following a growing file.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "tests/rgbtool/json_lines.h"
#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;
using nlohmann::json;

constexpr int kUsage = 2;

Bytes stream(int frames, int width, int height, const std::vector<int32_t>& stamps) {
  return rgbtest::streamBytes(rgbtest::patternImage(frames, width, height), frames, width,
                              height, stamps);
}

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The frames of an interleaved buffer as pictures, top row first, one after
// another: what a video tool reading them should get.
Bytes topDown(const Bytes& frames, int count, int width, int height) {
  Bytes all;
  for (int n = 0; n < count; ++n) rgbtest::append(all, pictureOfFrame(frames, n, width, height).rgb);
  return all;
}

TEST(ToolConventions, UsageMessagesNameTheMistakeAndTheNearestChoice) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"), stream(1, 4, 3, {5}));
  writePpm(dir.file("a.ppm"), patternPicture(4, 3, 1));
  const std::string s = dir.file("s.rgb");
  const std::string a = dir.file("a.ppm");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"export", "-f", "-1", s, dir.file("x.png")},
       "--frame: '-1' is not a whole number of frames from 0 to 2147483647 (digits only)"},
      {{"expor", s}, "unknown command 'expor'; did you mean 'export'?"},
      {{"version"}, "unknown command 'version'; did you mean '--version'?"},
      {{"-v"}, "unknown option '-v'; did you mean '-V'?"},
      {{"export", "--frmae", "3", s, dir.file("x.png")},
       "unknown option '--frmae' for export; did you mean '--frame'?"},
      {{"import", "--start-ms", "1e3", "--interval-ms", "40", dir.file("n.rgb"), a},
       "--start-ms: '1e3' is not a whole number of milliseconds from 0 to 9999999 (digits only)"},
      {{"import", "--start-ms", "0x10", "--interval-ms", "40", dir.file("n.rgb"), a},
       "--start-ms: '0x10' is not a whole number of milliseconds from 0 to 9999999 (digits "
       "only)"},
      {{"export", "--step", "0", s, dir.file("f%d.png")},
       "--step: '0' is too small: a whole number of frames from 1 to 2147483647"},
  };
  for (const auto& [args, message] : cases) {
    const Outcome run = runTool(args);
    EXPECT_EQ(run.status, kUsage) << args[0];
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "rgbtool: " + message);
    EXPECT_EQ(run.out, "");
  }
  const Outcome version = runTool({"-V"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "rgbtool 1.1.0\n");
}

TEST(ToolConventions, PngWiderThanAFrameNamesTheLimit) {
  rgbtest::TempDir dir;
  writePpm(dir.file("wide.ppm"), patternPicture(70000, 1, 2));
  const Outcome made = runProgram({"sh", "-c", "pnmtopng \"$0\" > \"$1\"", dir.file("wide.ppm"),
                                   dir.file("wide.png")});
  ASSERT_EQ(made.status, 0) << "netpbm's pnmtopng is needed: " << made.err;
  const Outcome run = runTool({"import", dir.file("s.rgb"), dir.file("wide.png")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "rgbtool: " + dir.file("wide.png") +
                         ": picture is 70000 x 1; a frame holds at most 65535 x 65535; nothing "
                         "appended\n");
}

TEST(ToolConventions, InfoAndCheckJudgeAStreamAlike) {
  rgbtest::TempDir dir;
  Bytes cut = stream(2, 4, 3, {10, 50});
  cut.resize(cut.size() - 1);  // the last frame lacks its last byte
  rgbtest::writeFile(dir.file("cut.rgb"), cut);
  const Outcome check = runTool({"check", dir.file("cut.rgb")});
  const Outcome info = runTool({"info", "--json", dir.file("cut.rgb")});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, dir.file("cut.rgb") + ": FAILED, 547 stray bytes after the last frame\n");
  EXPECT_EQ(info.status, 1);
  const json parsed = json::parse(info.out);
  EXPECT_EQ(parsed["frames"], 1);
  EXPECT_EQ(parsed["ok"], false);
  EXPECT_EQ(parsed["problem"], "547 stray bytes after the last frame");

  // Quiet means quiet, also about a header the library rejects.
  Bytes bad = stream(1, 4, 3, {10});
  bad[0] = 0;
  rgbtest::writeFile(dir.file("bad.rgb"), bad);
  const Outcome quiet = runTool({"check", "-q", dir.file("bad.rgb")});
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST(ToolConventions, JsonForNamesThatAreNotUtf8) {
  rgbtest::TempDir dir;
  const std::string latin = dir.file("a\xe9" "b.rgb");
  const std::string utf8 = dir.file("\xc3\xa9.rgb");
  rgbtest::writeFile(latin, stream(1, 2, 2, {1}));
  rgbtest::writeFile(utf8, stream(1, 2, 2, {1}));
  const Outcome run = runTool({"info", "--json", latin, utf8});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<json> parsed = jsonLines(run.out);  // fails on invalid UTF-8
  ASSERT_EQ(parsed.size(), 2u) << run.out;
  EXPECT_EQ(parsed[0]["file"], dir.path() + "/a\xc3\xa9" "b.rgb");
  std::string hex;
  for (const char c : latin) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(c));
    hex += two;
  }
  EXPECT_EQ(parsed[0]["file_hex"], hex);
  EXPECT_EQ(parsed[1]["file"], utf8);
  EXPECT_FALSE(parsed[1].contains("file_hex"));
}

// The same thing has the same name, and the same value, in info, check and
// watch; every --json output is one object per line.
TEST(ToolConventions, OneJsonNameForOneThingInInfoCheckAndWatch) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s.rgb");
  // 1040 repeats: a warning for check, a step of 0 for the others.
  rgbtest::writeFile(file, stream(4, 6, 5, {1000, 1040, 1040, 1100}));
  const std::vector<json> info = jsonLines(runTool({"info", "--json", "--frames", file}).out);
  const std::vector<json> check = jsonLines(runTool({"check", "--json", file}).out);
  RunOptions fromStdin;
  fromStdin.stdinFile = file;
  const std::vector<json> watch = jsonLines(runTool({"watch", "--json", "-"}, fromStdin).out);
  ASSERT_EQ(info.size(), 1u);
  ASSERT_EQ(check.size(), 1u);
  ASSERT_EQ(watch.size(), 5u);

  const json stream = {{"ok", true}, {"frames", 4},        {"width", 6},      {"height", 5},
                       {"planes", "RGB"}, {"stray_bytes", 0}, {"problem", nullptr}};
  for (const auto& [key, value] : stream.items()) {
    EXPECT_EQ(info[0][key], value) << "info " << key;
    EXPECT_EQ(check[0][key], value) << "check " << key;
  }
  const std::vector<json> frames{
      {{"frame", 0}, {"stamp_ms", 1000}, {"interval_ms", nullptr}},
      {{"frame", 1}, {"stamp_ms", 1040}, {"interval_ms", 40}},
      {{"frame", 2}, {"stamp_ms", 1040}, {"interval_ms", 0}},
      {{"frame", 3}, {"stamp_ms", 1100}, {"interval_ms", 60}}};
  EXPECT_EQ(info[0]["frame_list"], json(frames));
  for (std::size_t n = 0; n < frames.size(); ++n)
    for (const auto& [key, value] : frames[n].items())
      EXPECT_EQ(watch[n][key], value) << "watch frame " << n << " " << key;
  const json& warning = check[0]["stamp_warnings"].at(0);
  for (const char* key : {"frame", "stamp_ms", "interval_ms"})
    EXPECT_EQ(warning[key], frames[2][key]) << key;

  // Three steps over 100 ms: 30 frames per second.
  const json summary = {{"frames", 4}, {"frame_rate", 30.0}, {"duration_ms", 100},
                        {"max_interval_ms", 60}};
  for (const auto& [key, value] : summary.items()) {
    EXPECT_EQ(info[0][key], value) << "info " << key;
    EXPECT_EQ(watch[4]["summary"][key], value) << "watch " << key;
  }
}

TEST(ToolConventions, CheckWarnsOfStampsGoingBackwardsOrRepeating) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s.rgb");
  // Across the wrap 9,999,990 -> 30 is forward; 10 -> 5,000,040 is more than
  // half the cycle forward, so backwards.
  rgbtest::writeFile(file, stream(6, 5, 4, {9999950, 9999990, 30, 30, 10, 5000040}));
  const std::string warnings =
      file + ": warning: frame 3: stamp 30 ms repeats the previous frame's\n" + file +
      ": warning: frame 4: stamp 10 ms goes back 20 ms from the previous 30 ms\n" + file +
      ": warning: frame 5: stamp 5000040 ms goes back 4999970 ms from the previous 10 ms\n";
  const Outcome plain = runTool({"check", file});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, warnings + file + ": ok, 6 frames of 5 x 4 RGB\n");
  const Outcome strict = runTool({"check", "--strict", file});
  EXPECT_EQ(strict.status, 1);
  EXPECT_EQ(strict.out,
            warnings + file + ": FAILED, stamps go backwards or repeat at 3 frames\n");
  const Outcome asJson = runTool({"check", "--json", file});
  EXPECT_EQ(asJson.status, 0);
  EXPECT_EQ(json::parse(asJson.out), json::parse(R"({"file": ")" + file + R"(", "ok": true,
      "frames": 6, "width": 5, "height": 4, "planes": "RGB", "stray_bytes": 0, "problem": null,
      "stamp_warnings": [
        {"frame": 3, "stamp_ms": 30, "previous_stamp_ms": 30, "interval_ms": 0, "kind": "repeat"},
        {"frame": 4, "stamp_ms": 10, "previous_stamp_ms": 30, "interval_ms": -20,
         "kind": "backwards"},
        {"frame": 5, "stamp_ms": 5000040, "previous_stamp_ms": 10, "interval_ms": -4999970,
         "kind": "backwards"}]})"));
}

TEST(ToolConventions, ExportReplacesPicturesOnlyWhenTold) {
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(3, 4, 3);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 3, 4, 3, {1, 2, 3}));
  const Bytes old{'o', 'l', 'd'};
  rgbtest::writeFile(dir.file("o.ppm"), old);
  rgbtest::writeFile(dir.file("f2.ppm"), old);
  const Outcome refused = runTool({"export", dir.file("s.rgb"), dir.file("o.ppm")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "rgbtool: " + dir.file("o.ppm") +
                             ": exists; not replaced (-y or --overwrite replaces it)\n");
  EXPECT_EQ(rgbtest::readFile(dir.file("o.ppm")), old);
  // A run of frames is refused before its first picture.
  const Outcome all = runTool({"export", "--all", dir.file("s.rgb"), dir.file("f%d.ppm")});
  EXPECT_EQ(all.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("f0.ppm")));
  const Outcome replaced = runTool({"export", "-y", dir.file("s.rgb"), dir.file("o.ppm")});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(readPpm(dir.file("o.ppm")).rgb, pictureOfFrame(frames, 0, 4, 3).rgb);
}

TEST(ToolConventions, ExportAndMarkTakeARunOfFrames) {
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(6, 4, 3);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 6, 4, 3, {0, 1, 2, 3, 4, 5}));
  const Outcome run = runTool({"export", "--start", "1", "--step", "2", "--count", "2",
                               dir.file("s.rgb"), dir.file("f%d.ppm")});
  EXPECT_EQ(run.status, 0) << run.err;
  for (int n = 0; n < 6; ++n)
    EXPECT_EQ(std::filesystem::exists(dir.file("f" + std::to_string(n) + ".ppm")), n == 1 || n == 3)
        << n;
  EXPECT_EQ(readPpm(dir.file("f3.ppm")).rgb, pictureOfFrame(frames, 3, 4, 3).rgb);
  // To the end when no count is given, also from a pipe.
  RunOptions piped;
  piped.stdinFile = dir.file("s.rgb");
  const Outcome marked =
      runTool({"mark", "--start", "4", dir.file("s.rgb"), dir.file("m%d.ppm")});
  EXPECT_EQ(marked.status, 0) << marked.err;
  EXPECT_EQ(marked.out, "frame 4: 0 marked pixels\nframe 5: 0 marked pixels\n");
  const Outcome fromPipe =
      runProgram({"sh", "-c", "cat \"$1\" | \"$0\" export --step 5 - \"$2\"", RGBTOOL_PATH,
                  dir.file("s.rgb"), dir.file("p%d.ppm")});
  EXPECT_EQ(fromPipe.status, 0) << fromPipe.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("p0.ppm")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("p5.ppm")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("p1.ppm")));
}

TEST(ToolConventions, ImportNewNumberedAndFromStandardInput) {
  rgbtest::TempDir dir;
  std::vector<Picture> pictures;
  for (int n = 3; n <= 5; ++n) {
    pictures.push_back(patternPicture(4, 2, static_cast<unsigned>(n)));
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.ppm", n);
    writePpm(dir.file(name), pictures.back());
  }
  const std::string s = dir.file("s.rgb");
  auto frameBytes = [&](const Picture& p, int32_t stamp) {
    return rgbtest::streamBytes(frameOfPicture(p), 1, 4, 2, {stamp});
  };
  // Numbered names from the lowest that exists: 3, 4 and 5.
  Outcome run = runTool({"import", "--start-ms", "100", "--interval-ms", "10", s,
                         dir.file("f%04d.ppm")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "rgbtool: " + s + ": 0 frames before, 3 now\n");
  Bytes expected = frameBytes(pictures[0], 100);
  rgbtest::append(expected, frameBytes(pictures[1], 110));
  rgbtest::append(expected, frameBytes(pictures[2], 120));
  EXPECT_EQ(rgbtest::readFile(s), expected);

  // Appending stays the default; a picture from standard input.
  RunOptions fromStdin;
  fromStdin.stdinFile = dir.file("f0004.ppm");
  run = runTool({"import", "--start-ms", "7", "--interval-ms", "1", s, "-"}, fromStdin);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "rgbtool: " + s + ": 3 frames before, 4 now\n");
  rgbtest::append(expected, frameBytes(pictures[1], 7));
  EXPECT_EQ(rgbtest::readFile(s), expected);

  // --new starts afresh, from the numbered picture --start names.
  run = runTool({"import", "--new", "--start", "5", "--start-ms", "0", "--interval-ms", "1", s,
                 dir.file("f%04d.ppm")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "rgbtool: " + s + ": 4 frames before, 1 now\n");
  EXPECT_EQ(rgbtest::readFile(s), frameBytes(pictures[2], 0));

  // A failed --new leaves the old stream whole.
  run = runTool({"import", "--new", s, dir.file("f0003.ppm"), dir.file("missing.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(rgbtest::readFile(s), frameBytes(pictures[2], 0));
}

TEST(ToolConventions, FramesToStandardOutputAsFfmpegReadsThem) {
  const std::string ffmpeg = findProgram("ffmpeg");
  ASSERT_FALSE(ffmpeg.empty()) << "ffmpeg is missing: install the Debian package ffmpeg";
  rgbtest::TempDir dir;
  const int width = 6;
  const int height = 4;
  const Bytes frames = rgbtest::patternImage(3, width, height, 5);
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frames, 3, width, height, {0, 40, 80}));
  RunOptions toFile;
  toFile.stdoutFile = dir.file("frames.ppm");
  const Outcome ppm = runTool({"export", "--all", "--format", "ppm", dir.file("s.rgb"), "-"}, toFile);
  ASSERT_EQ(ppm.status, 0) << ppm.err;
  const Outcome decoded =
      runProgram({ffmpeg, "-v", "error", "-f", "image2pipe", "-c:v", "ppm", "-i",
                  dir.file("frames.ppm"), "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
  ASSERT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_EQ(Bytes(decoded.out.begin(), decoded.out.end()), topDown(frames, 3, width, height));

  toFile.stdoutFile = dir.file("frames.raw");
  const Outcome raw = runTool({"export", "--all", "--format", "raw", dir.file("s.rgb"), "-"}, toFile);
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(raw.err, "rgbtool: raw frames: -f rawvideo -video_size 6x4 -pixel_format rgb24\n");
  const Outcome rawDecoded =
      runProgram({ffmpeg, "-v", "error", "-f", "rawvideo", "-video_size", "6x4", "-pixel_format",
                  "rgb24", "-i", dir.file("frames.raw"), "-f", "rawvideo", "-pix_fmt", "rgb24",
                  "-"});
  ASSERT_EQ(rawDecoded.status, 0) << rawDecoded.err;
  EXPECT_EQ(Bytes(rawDecoded.out.begin(), rawDecoded.out.end()), topDown(frames, 3, width, height));
}

std::string waitForLines(const std::string& path, std::size_t lines) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string seen;
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(path, std::ios::binary);  // not there until the tool opens it
    std::ostringstream all;
    all << in.rdbuf();
    seen = all.str();
    if (static_cast<std::size_t>(std::count(seen.begin(), seen.end(), '\n')) >= lines) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return seen;
}

TEST(ToolConventions, WatchFollowsAGrowingFileAsJsonLines) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s.rgb");
  rgbtest::writeFile(file, stream(1, 4, 3, {500}));
  writePpm(dir.file("a.ppm"), patternPicture(4, 3, 1));
  // From the current end: the frame already there is not shown.
  const int watcher = startTool({"watch", "--follow", "--json", file}, dir.file("out"),
                                dir.file("err"));
  // Time to find the end before the file grows (there is no sign of it).
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const Outcome appended = runTool({"import", "--start-ms", "1000", "--interval-ms", "40", file,
                                    dir.file("a.ppm"), dir.file("a.ppm")});
  ASSERT_EQ(appended.status, 0) << appended.err;
  const std::string lines = waitForLines(dir.file("out"), 2);
  kill(watcher, SIGINT);
  EXPECT_EQ(waitFor(watcher), 0);
  EXPECT_EQ(text(rgbtest::readFile(dir.file("out"))),
            "{\"frame\":1,\"stamp_ms\":1000,\"interval_ms\":null,\"marked_pixels\":0}\n"
            "{\"frame\":2,\"stamp_ms\":1040,\"interval_ms\":40,\"marked_pixels\":0}\n"
            "{\"summary\":{\"frames\":2,\"frame_rate\":25.0,\"duration_ms\":40,"
            "\"max_interval_ms\":40}}\n")
      << lines;
  EXPECT_EQ(text(rgbtest::readFile(dir.file("err"))), "");

  // From the start: every frame there, then waiting for more.
  const int fromStart = startTool({"watch", "--follow", "--from-start", file}, dir.file("out2"),
                                  dir.file("err2"));
  const std::string first = waitForLines(dir.file("out2"), 3);
  kill(fromStart, SIGTERM);
  EXPECT_EQ(waitFor(fromStart), 0);
  EXPECT_EQ(text(rgbtest::readFile(dir.file("out2"))),
            "frame 0: stamp 500 ms, 0 marked pixels\n"
            "frame 1: stamp 1000 ms, interval 500 ms, 0 marked pixels\n"
            "frame 2: stamp 1040 ms, interval 40 ms, 0 marked pixels\n"
            "frames: 3, mean rate: 3.704 fps, largest gap: 500 ms\n")
      << first;
}

// A followed file that is emptied and written again, then replaced under
// its name: every frame written after either is shown, none skipped.
TEST(ToolConventions, WatchFollowsAFileThroughTruncationAndReplacement) {
  rgbtest::TempDir dir;
  const std::string file = dir.file("s.rgb");
  rgbtest::writeFile(file, stream(1, 4, 3, {500}));
  writePpm(dir.file("a.ppm"), patternPicture(4, 3, 1));
  const int watcher = startTool({"watch", "--follow", "--json", file}, dir.file("out"),
                                dir.file("err"));
  // The watcher polls every 100 ms: each change is given time to be seen.
  const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(500)); };
  settle();
  rgbtest::writeFile(file, {});
  settle();
  Outcome run = runTool({"import", "--start-ms", "1000", "--interval-ms", "40", file,
                         dir.file("a.ppm"), dir.file("a.ppm")});
  ASSERT_EQ(run.status, 0) << run.err;
  waitForLines(dir.file("out"), 2);
  run = runTool({"import", "--new", "--start-ms", "2000", "--interval-ms", "40", file,
                 dir.file("a.ppm")});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string lines = waitForLines(dir.file("out"), 3);
  kill(watcher, SIGINT);
  EXPECT_EQ(waitFor(watcher), 0);
  std::vector<std::string> stamps;
  const std::string key = "\"stamp_ms\":";
  for (std::size_t at = lines.find(key); at != std::string::npos; at = lines.find(key, at + 1))
    stamps.push_back(lines.substr(at + key.size(), lines.find(',', at) - at - key.size()));
  EXPECT_EQ(stamps, (std::vector<std::string>{"1000", "1040", "2000"})) << lines;
  // Both changes are told, on stderr.
  const std::string err = text(rgbtest::readFile(dir.file("err")));
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
}

TEST(ToolConventions, ProgressShowsFramesRateAndTimeLeft) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"), stream(4, 4, 3, {0, 1, 2, 3}));
  RunOptions options;
  options.stderrTerminal = true;
  const Outcome run = runTool({"export", "--all", dir.file("s.rgb"), dir.file("f%d.ppm")}, options);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has(run.err, "] 100% 4/4 frames, ")) << run.err;
  EXPECT_TRUE(has(run.err, " fps, 0:00 left")) << run.err;
}

}  // namespace
}  // namespace rgbtooltest
