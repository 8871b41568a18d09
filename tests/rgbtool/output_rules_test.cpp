// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Every file rgbtool writes keeps the same rules, command by command: an
// existing file is replaced only with -y, the input never (also through a
// link), a long name still fits its temporary, and results that cannot
// reach standard output fail the run.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"
#include "tests/support/test_support.h"

namespace rgbtooltest {
namespace {

using Args = std::vector<std::string>;

constexpr int kWidth = 4;
constexpr int kHeight = 2;
constexpr std::size_t kLongName = 250;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> listDirectory(const std::string& path) {
  std::vector<std::string> names;
  DIR* listing = opendir(path.c_str());
  if (!listing) {
    ADD_FAILURE() << "cannot list " << path;
    return names;
  }
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}

// A command that makes a file: its arguments for input IN and output OUT.
struct Maker {
  const char* name;
  const char* extension;
  std::function<Args(const std::string& in, const std::string& out, bool overwrite)> args;
  bool replacesAnyway;  // import --new replaces by its nature
};

Args withY(Args args, bool overwrite) {
  if (overwrite) args.insert(args.begin() + 1, "-y");
  return args;
}

const Maker kMakers[] = {
    {"export", ".png",
     [](auto& in, auto& out, bool y) { return withY({"export", in, out}, y); }, false},
    {"mark", ".ppm", [](auto& in, auto& out, bool y) { return withY({"mark", in, out}, y); },
     false},
    {"sheet", ".png", [](auto& in, auto& out, bool y) { return withY({"sheet", in, out}, y); },
     false},
    {"info --plot", ".png",
     [](auto& in, auto& out, bool y) { return withY({"info", "--plot", out, in}, y); }, false},
    {"video", ".mkv", [](auto& in, auto& out, bool y) { return withY({"video", in, out}, y); },
     false},
    {"import --new", ".rgb",
     [](auto& in, auto& out, bool) {
       // The picture is the input here; the stream is what is made.
       return Args{"import", "--new", out, in};
     },
     true},
};

// The input is named like an output of the command, so that naming it as
// the output passes every check of the name and meets the input rule.
struct Fixture {
  rgbtest::TempDir dir;
  std::string stream = dir.file("s.rgb");

  Fixture() {
    rgbtest::writeFile(stream, rgbtest::streamBytes(rgbtest::patternImage(3, kWidth, kHeight),
                                                    3, kWidth, kHeight, {0, 40, 80}));
  }
  // import --new reads a picture; the others a stream.
  std::string input(const Maker& maker) const {
    const std::string name = dir.file(std::string("in") + maker.extension);
    if (maker.replacesAnyway) {
      writePpm(name, patternPicture(kWidth, kHeight, 1));
    } else {
      rgbtest::writeFile(name, rgbtest::readFile(stream));
    }
    return name;
  }
};

TEST(OutputRules, EveryCommandKeepsTheRulesForTheFilesItWrites) {
  const Bytes kept = {'k', 'e', 'e', 'p'};
  for (const Maker& maker : kMakers) {
    SCOPED_TRACE(maker.name);
    Fixture f;
    const std::string in = f.input(maker);
    const Bytes inBytes = rgbtest::readFile(in);
    const std::string out = f.dir.file(std::string("out") + maker.extension);

    // An existing file without -y stays; with -y it is replaced.
    rgbtest::writeFile(out, kept);
    Outcome run = runTool(maker.args(in, out, false));
    if (maker.replacesAnyway) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_NE(rgbtest::readFile(out), kept);
    } else {
      EXPECT_EQ(run.status, 1) << run.err;
      EXPECT_TRUE(has(run.err, "exists; not replaced (-y or --overwrite replaces it)")) << run.err;
      EXPECT_EQ(rgbtest::readFile(out), kept);
      run = runTool(maker.args(in, out, true));
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_NE(rgbtest::readFile(out), kept);
    }

    // The input, named directly or through a link, is never written over.
    const std::string link = f.dir.file(std::string("link") + maker.extension);
    ASSERT_EQ(symlink(in.c_str(), link.c_str()), 0);
    for (const std::string& target : {in, link}) {
      SCOPED_TRACE("output " + target);
      run = runTool(maker.args(in, target, true));
      EXPECT_EQ(run.status, 1) << run.err;
      EXPECT_TRUE(has(run.err, "is the same file as the input")) << run.err;
      EXPECT_EQ(rgbtest::readFile(in), inBytes);
    }

    // A name of 250 bytes: its temporary name must fit the directory too.
    const std::string extension = maker.extension;
    const std::string longName =
        f.dir.file(std::string(kLongName - extension.size(), 'n') + extension);
    run = runTool(maker.args(in, longName, false));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(rgbtest::readFile(longName).empty());

    // Nothing but the outputs: no temporary left behind.
    const std::vector<std::string> names = listDirectory(f.dir.path());
    for (const std::string& name : names) EXPECT_NE(name[0], '.') << name;
  }
}

// Results on standard output that do not arrive fail the run.
TEST(OutputRules, ResultsThatCannotReachStandardOutputFailTheRun) {
  Fixture f;
  const std::vector<Args> commands = {
      {"info", f.stream},
      {"check", f.stream},
      {"export", "--format", "ppm", f.stream, "-"},
      {"mark", "--format", "ppm", f.stream, "-"},
      {"watch", f.stream},
  };
  for (const Args& args : commands) {
    SCOPED_TRACE(args[0]);
    Args closed = {"/bin/sh", "-c", "exec \"$0\" \"$@\" >&-", RGBTOOL_PATH};
    closed.insert(closed.end(), args.begin(), args.end());
    Outcome run = runProgram(closed);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(has(run.err, "standard output")) << run.err;

    RunOptions full;
    full.stdoutFile = "/dev/full";
    run = runTool(args, full);
    EXPECT_EQ(run.status, 1) << run.err;
  }
  // A picture named /dev/full is written there directly and fails.
  const Outcome direct = runTool({"export", "--format", "ppm", f.stream, "/dev/full"});
  EXPECT_EQ(direct.status, 1) << direct.err;
  // info --plot on standard output would mix the picture into the report.
  const Outcome plot = runTool({"info", "--plot", "-", f.stream});
  EXPECT_EQ(plot.status, 2) << plot.err;
  EXPECT_EQ(plot.out, "");
}

// A stream given as standard output opened at its start (1<>) is appended
// to at its end: frame 0 is not written over.
TEST(OutputRules, ImportOntoStandardOutputOpenedAtTheStartAppendsAtTheEnd) {
  Fixture f;
  const std::string picture = f.dir.file("p.ppm");
  writePpm(picture, patternPicture(kWidth, kHeight, 2));
  const Bytes before = rgbtest::readFile(f.stream);
  const Outcome run = runProgram({"/bin/sh", "-c", "exec \"$0\" import - \"$1\" 1<>\"$2\"",
                                  RGBTOOL_PATH, picture, f.stream});
  EXPECT_EQ(run.status, 0) << run.err;
  const Bytes after = rgbtest::readFile(f.stream);
  const std::size_t frameBytes = before.size() / 3;
  ASSERT_EQ(after.size(), before.size() + frameBytes);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
}

// Pictures from a pipe cannot be counted first: a refused picture must
// still leave the directory as it was (no temporary, nothing replaced).
TEST(OutputRules, ExportFromAPipeOntoAnExistingPictureLeavesTheDirectoryAlone) {
  Fixture f;
  const std::string out = f.dir.file("one.png");
  const Bytes kept = {'o', 'l', 'd'};
  rgbtest::writeFile(out, kept);
  const std::vector<std::string> before = listDirectory(f.dir.path());
  RunOptions piped;
  piped.stdinFile = f.stream;
  Args viaPipe = {"/bin/sh", "-c", "cat | exec \"$0\" export - \"$1\"", RGBTOOL_PATH, out};
  const Outcome run = runProgram(viaPipe, piped);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(has(run.err, "exists; not replaced")) << run.err;
  EXPECT_EQ(rgbtest::readFile(out), kept);
  EXPECT_EQ(listDirectory(f.dir.path()), before);
}

}  // namespace
}  // namespace rgbtooltest
