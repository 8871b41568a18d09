// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Command-line conventions: help, version, usage errors and their status.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

constexpr int kUsage = 2;

TEST(ToolUsage, VersionGoesToStdout) {
  const Outcome run = runTool({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "rgbtool 1.1.0\n");
  EXPECT_EQ(run.err, "");
}

TEST(ToolUsage, TopLevelHelpListsEveryCommand) {
  const Outcome run = runTool({"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* command : {"info", "export", "import", "mark", "watch", "check"})
    EXPECT_NE(run.out.find(command), std::string::npos) << command;
  EXPECT_EQ(run.err, "");
}

TEST(ToolUsage, EveryCommandHasHelp) {
  for (const std::string command : {"info", "export", "import", "mark", "watch", "check"}) {
    const Outcome run = runTool({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("Usage: rgbtool " + command), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "") << command;
  }
}

struct UsageCase {
  std::vector<std::string> args;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
  *os << "rgbtool";
  for (const std::string& a : c.args) *os << ' ' << a;
}

class ToolUsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ToolUsageErrors, ExitWithTwoAndSayWhyOnStderr) {
  rgbtest::TempDir dir;
  // Real inputs, so that only the command line can be at fault.
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(1, 4, 3), 1, 4, 3, {5}));
  writePpm(dir.file("a.ppm"), patternPicture(4, 3, 1));
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) {
    std::string arg = a;
    const auto at = arg.find("DIR/");
    if (at != std::string::npos) arg.replace(at, 4, dir.path() + "/");
    args.push_back(arg);
  }
  const Outcome run = runTool(args);
  EXPECT_EQ(run.status, kUsage);
  EXPECT_EQ(run.err.rfind("rgbtool: ", 0), 0u) << run.err;
  EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ToolUsageErrors,
    ::testing::Values(
        UsageCase{{}}, UsageCase{{"frobnicate"}}, UsageCase{{"--bogus"}},
        UsageCase{{"info"}}, UsageCase{{"info", "--bogus", "DIR/s.rgb"}},
        UsageCase{{"export"}}, UsageCase{{"export", "DIR/s.rgb"}},
        UsageCase{{"export", "DIR/s.rgb", "DIR/o.png", "extra"}},
        UsageCase{{"export", "--frame", "-1", "DIR/s.rgb", "DIR/o.png"}},
        UsageCase{{"export", "--frame", "x", "DIR/s.rgb", "DIR/o.png"}},
        UsageCase{{"export", "--frame", "99999999999", "DIR/s.rgb", "DIR/o.png"}},
        UsageCase{{"export", "--all", "--frame", "1", "DIR/s.rgb", "DIR/o%d.png"}},
        UsageCase{{"export", "--all", "DIR/s.rgb", "DIR/o.png"}},
        UsageCase{{"export", "--all", "DIR/s.rgb", "DIR/o%d%d.png"}},
        UsageCase{{"export", "--all", "DIR/s.rgb", "DIR/o%s.png"}},
        UsageCase{{"export", "DIR/s.rgb", "DIR/o.gif"}},
        UsageCase{{"export", "DIR/s.rgb", "-"}},
        UsageCase{{"export", "--format", "gif", "DIR/s.rgb", "DIR/o.png"}},
        UsageCase{{"import"}}, UsageCase{{"import", "DIR/n.rgb"}},
        UsageCase{{"import", "--start-ms", "5", "DIR/n.rgb", "DIR/a.ppm"}},
        UsageCase{{"import", "--interval-ms", "5", "DIR/n.rgb", "DIR/a.ppm"}},
        UsageCase{{"import", "--start-ms", "10000000", "--interval-ms", "1", "DIR/n.rgb",
                   "DIR/a.ppm"}},
        UsageCase{{"import", "--start-ms", "0", "--interval-ms", "-1", "DIR/n.rgb",
                   "DIR/a.ppm"}},
        UsageCase{{"mark"}}, UsageCase{{"mark", "DIR/s.rgb"}},
        UsageCase{{"mark", "--all", "DIR/s.rgb", "DIR/m.ppm"}},
        UsageCase{{"watch"}}, UsageCase{{"watch", "DIR/s.rgb", "DIR/s.rgb"}},
        UsageCase{{"check"}}, UsageCase{{"check", "--bogus", "DIR/s.rgb"}}));

TEST(ToolUsage, UsageErrorsWriteNothing) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(1, 4, 3), 1, 4, 3, {5}));
  writePpm(dir.file("a.ppm"), patternPicture(4, 3, 1));
  EXPECT_EQ(runTool({"import", "--start-ms", "5", dir.file("n.rgb"), dir.file("a.ppm")}).status,
            kUsage);
  EXPECT_EQ(runTool({"export", "--all", dir.file("s.rgb"), dir.file("o.png")}).status, kUsage);
  EXPECT_FALSE(std::filesystem::exists(dir.file("n.rgb")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.png")));
}

TEST(ToolUsage, FailuresExitWithOne) {
  rgbtest::TempDir dir;
  const Outcome missing = runTool({"info", dir.file("none.rgb")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("rgbtool: " + dir.file("none.rgb") + ": cannot open"),
            std::string::npos)
      << missing.err;
  EXPECT_EQ(runTool({"export", dir.file("none.rgb"), dir.file("o.png")}).status, 1);
  EXPECT_EQ(runTool({"check", dir.file("none.rgb")}).status, 1);
  EXPECT_EQ(runTool({"watch", dir.file("none.rgb")}).status, 1);
  EXPECT_EQ(runTool({"import", dir.file("n.rgb"), dir.file("none.png")}).status, 1);
}

TEST(ToolUsage, FullStandardOutputIsAFailure) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(1, 4, 3), 1, 4, 3, {5}));
  RunOptions options;
  options.stdoutFile = "/dev/full";
  const Outcome info = runTool({"info", dir.file("s.rgb")}, options);
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("rgbtool: cannot write to standard output"), std::string::npos)
      << info.err;
  const Outcome exported = runTool({"export", "--format", "ppm", dir.file("s.rgb"), "-"}, options);
  EXPECT_EQ(exported.status, 1);
  EXPECT_NE(exported.err.find("No space left on device"), std::string::npos) << exported.err;
}

}  // namespace
}  // namespace rgbtooltest
