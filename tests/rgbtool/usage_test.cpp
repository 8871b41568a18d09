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

const std::vector<std::string> kCommands{"info",  "export", "import", "mark",
                                         "watch", "video",  "sheet",  "check"};

TEST(ToolUsage, TopLevelHelpListsEveryCommand) {
  for (const std::string help : {"--help", "-h"}) {
    const Outcome run = runTool({help});
    EXPECT_EQ(run.status, 0);
    for (const std::string& command : kCommands)
      EXPECT_NE(run.out.find("\n  " + command + " "), std::string::npos) << command;
    EXPECT_EQ(run.err, "");
  }
}

// Help on stdout with status 0, and with it the examples and what the exit
// statuses mean.
TEST(ToolUsage, EveryCommandHasHelp) {
  for (const std::string& command : kCommands) {
    for (const std::string help : {"--help", "-h"}) {
      const Outcome run = runTool({command, help});
      EXPECT_EQ(run.status, 0) << command;
      EXPECT_NE(run.out.find("Usage: rgbtool " + command), std::string::npos) << run.out;
      const std::size_t examples = run.out.find("\nExamples:\n  $ ");
      ASSERT_NE(examples, std::string::npos) << run.out;
      EXPECT_NE(run.out.find("rgbtool " + command + " ", examples), std::string::npos) << run.out;
      EXPECT_NE(run.out.find("\nExit status:\n  0 "), std::string::npos) << run.out;
      EXPECT_NE(run.out.find("\n  2   a usage error"), std::string::npos) << run.out;
      EXPECT_EQ(run.err, "") << command;
    }
  }
}

// The README lists these; the help must not promise fewer.
TEST(ToolUsage, VideoHelpNamesEveryContainer) {
  const Outcome run = runTool({"video", "--help"});
  for (const char* container : {".mp4", ".mkv", ".mov", ".webm"})
    EXPECT_NE(run.out.find(container), std::string::npos) << container;
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
        UsageCase{{"check"}}, UsageCase{{"check", "--bogus", "DIR/s.rgb"}},
        UsageCase{{"info", "--plot", "DIR/p.png", "DIR/s.rgb", "DIR/s.rgb"}},
        UsageCase{{"info", "-V", "DIR/s.rgb"}},
        UsageCase{{"watch", "--from-start", "DIR/s.rgb"}},
        UsageCase{{"video"}}, UsageCase{{"video", "DIR/s.rgb"}},
        UsageCase{{"video", "--crf", "52", "DIR/s.rgb", "DIR/o.mp4"}},
        UsageCase{{"sheet", "DIR/s.rgb"}},
        UsageCase{{"sheet", "--columns", "0", "DIR/s.rgb", "DIR/o.png"}}));

TEST(ToolUsage, UsageErrorsWriteNothing) {
  rgbtest::TempDir dir;
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(rgbtest::patternImage(1, 4, 3), 1, 4, 3, {5}));
  writePpm(dir.file("a.ppm"), patternPicture(4, 3, 1));
  EXPECT_EQ(runTool({"import", "--start-ms", "5", dir.file("n.rgb"), dir.file("a.ppm")}).status,
            kUsage);
  EXPECT_EQ(runTool({"export", "--all", dir.file("s.rgb"), dir.file("o.png")}).status, kUsage);
  const Outcome plot =
      runTool({"info", "--plot", dir.file("p.png"), dir.file("s.rgb"), dir.file("s.rgb")});
  EXPECT_EQ(plot.status, kUsage);
  EXPECT_EQ(plot.err,
            "rgbtool: info --plot takes one FILE\n"
            "Run 'rgbtool --help' or 'rgbtool COMMAND --help' for usage.\n");
  EXPECT_EQ(plot.out, "");
  EXPECT_FALSE(std::filesystem::exists(dir.file("n.rgb")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.png")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("p.png")));
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
