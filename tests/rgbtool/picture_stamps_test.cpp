// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Stamps through pictures: export --stamps and {stamp} names, import
// --stamps; and export's word on frames asked for that do not exist.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

constexpr int kWidth = 4;
constexpr int kHeight = 3;
// Across the wrap of the cycle, irregular, one step backwards.
const std::vector<int32_t> kStamps{9999960, 9999985, 10, 500, 480};

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string textOf(const std::string& path) {
  const Bytes bytes = rgbtest::readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

struct Trip {
  const char* name;
  const char* stampsFile;  // in the picture folder
  const char* pattern;     // picture names, in the picture folder
  // import's pictures: "" the stamps file's list, "pattern" the numbered
  // names, "-" the pictures down a pipe.
  const char* importFrom;
};

class StampsTrip : public ::testing::TestWithParam<Trip> {};

TEST_P(StampsTrip, ImportGivesTheStampsExportWrote) {
  const Trip& trip = GetParam();
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(5, kWidth, kHeight, 9);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, 5, kWidth, kHeight, kStamps));
  std::filesystem::create_directory(dir.file("p"));
  const std::string stamps = dir.file(std::string("p/") + trip.stampsFile);
  const std::string pattern = dir.file(std::string("p/") + trip.pattern);
  const std::string importFrom = trip.importFrom;
  const std::string pictures = importFrom == "-" ? "-" : pattern;
  const Outcome out =
      runTool({"export", "--all", "--format", "png", "--stamps", stamps, dir.file("s.rgb"), pictures},
              {"", importFrom == "-" ? dir.file("pipe.png") : ""});
  ASSERT_EQ(out.status, 0) << out.err;

  std::vector<std::string> in{"import", "--stamps", stamps, dir.file("back.rgb")};
  RunOptions options;
  if (importFrom == "-") {
    options.stdinFile = dir.file("pipe.png");
    in.push_back("-");
  } else if (importFrom == "pattern") {
    in.push_back(pattern);
  }
  const Outcome back = runTool(in, options);
  ASSERT_EQ(back.status, 0) << back.err;
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("back.rgb"));
  EXPECT_EQ(loaded.stamps, std::vector<int>(kStamps.begin(), kStamps.end()));
  EXPECT_EQ(loaded.pixels, frames);
}

INSTANTIATE_TEST_SUITE_P(
    Routes, StampsTrip,
    ::testing::Values(Trip{"csv_listed", "st.csv", "f%04d.png", ""},
                      Trip{"json_listed", "st.json", "f%04d.png", ""},
                      Trip{"csv_numbered", "st.csv", "f%03d.png", "pattern"},
                      Trip{"stamp_in_name", "st.json", "f%04d_{stamp}.png", ""},
                      Trip{"comma_in_name", "st.csv", "a,\"b\"%d.png", ""},
                      Trip{"csv_pipe", "st.csv", "-", "-"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ToolExportStamps, CsvAndNamesAsDocumented) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(rgbtest::patternImage(2, 2, 2), 2, 2,
                                                             2, {9999999, 41}));
  ASSERT_EQ(runTool({"export", "--all", "--stamps", dir.file("st.csv"), dir.file("s.rgb"),
                     dir.file("f%02d-{stamp}.ppm")})
                .status,
            0);
  EXPECT_EQ(textOf(dir.file("st.csv")), "frame,stamp_ms,file\n0,9999999," + dir.file("f00-9999999.ppm") +
                                            "\n1,41," + dir.file("f01-0000041.ppm") + "\n");
}

TEST(ToolExportStamps, AnExistingStampsFileWithoutYesStopsBeforeAnyPicture) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(rgbtest::patternImage(2, 2, 2), 2, 2,
                                                             2, {0, 40}));
  rgbtest::writeFile(dir.file("st.json"), Bytes{'[', ']'});
  const Outcome run = runTool({"export", "--all", "--stamps", dir.file("st.json"),
                               dir.file("s.rgb"), dir.file("f%d.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "exists; not replaced")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("f0.ppm")));
  EXPECT_EQ(textOf(dir.file("st.json")), "[]");
}

TEST(ToolImportStamps, APictureWithoutAStampAppendsNothing) {
  rgbtest::TempDir dir;
  writePpm(dir.file("a.ppm"), patternPicture(2, 2, 1));
  writePpm(dir.file("b.ppm"), patternPicture(2, 2, 2));
  const std::string csv = "frame,stamp_ms,file\n0,40," + dir.file("a.ppm") + "\n";
  rgbtest::writeFile(dir.file("st.csv"), Bytes(csv.begin(), csv.end()));
  const Outcome run = runTool({"import", "--stamps", dir.file("st.csv"), dir.file("s.rgb"),
                               dir.file("a.ppm"), dir.file("b.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "has no stamp for " + dir.file("b.ppm"))) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("s.rgb")));
}

TEST(ToolExport, FramesAskedForBeyondTheEndAreCounted) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(5, 2, 2), 5, 2, 2, {0, 1, 2, 3, 4}));
  const Outcome run =
      runTool({"export", "--start", "3", "--count", "5", dir.file("s.rgb"), dir.file("f%d.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "5 frames asked for from frame 3, 2 exist (5 in the stream)")) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("f4.ppm")));
}

TEST(ToolExport, ANumberedNameWithoutAllNamesTheOneFrame) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(3, 2, 2), 3, 2, 2, {0, 1, 2}));
  const Outcome run = runTool({"export", "--frame", "2", dir.file("s.rgb"), dir.file("f%04d.ppm")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(has(run.err, "frame 2 alone is written (--all writes every frame)")) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("f0002.ppm")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("f%04d.ppm")));
}

}  // namespace
}  // namespace rgbtooltest
