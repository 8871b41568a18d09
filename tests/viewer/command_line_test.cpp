// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The viewer's command line and start-up failures, run as a real process
// against a private X server that also tells whether a window appeared.
#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/viewer_support.h"

namespace viewertest {
namespace {

const std::string kTitlePrefix = "ZU_KORVE   file: ";

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class CommandLine : public ViewerTest {
 protected:
  // Runs the viewer to its end and checks that it opened no window and
  // ended with exactly this status and output.
  void expectEnds(const std::vector<std::string>& args, const Outcome& expected,
                  const std::string& workdir = "") {
    const xtest::Exit exit = run(args, workdir);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(x.windowsCreatedSinceLastCall(), 0);
    EXPECT_EQ(exit.status, expected.status);
    EXPECT_EQ(exit.out, expected.out);
    EXPECT_EQ(exit.err, expected.err);
  }
  // A failure with a message on stderr and nothing on stdout.
  void expectFails(const std::vector<std::string>& args, const std::string& err,
                   const std::string& workdir = "") {
    expectEnds(args, {1, "", err}, workdir);
  }
  // A valid picture in the working folder.
  void writePicture(const std::string& name) {
    writeFrameFile(dir.file(name), {samplePicture(30, 20)});
  }
  // Starts the viewer, expects its window titled for `name`, quits it.
  void expectRunsOn(const std::vector<std::string>& args,
                    const std::string& workdir, const std::string& name) {
    auto viewer = start(args, workdir);
    const auto window = x.waitForWindow(kTitlePrefix);
    EXPECT_EQ(x.title(window), kTitlePrefix + name);
    x.typeKey(window, 'q');
    const xtest::Exit exit = viewer->wait();
    EXPECT_EQ(exit.status, 0);
    EXPECT_EQ(exit.err, "");
  }
};

TEST_F(CommandLine, ShortHelpPrintsUsageOnStdoutAndSucceeds) {
  expectEnds({"-h"}, {0, usage(viewerPath()), ""});
}

TEST_F(CommandLine, LongHelpPrintsUsageOnStdoutAndSucceeds) {
  expectEnds({"--help"}, {0, usage(viewerPath()), ""});
}

TEST_F(CommandLine, OptionUPrintsUsageOnStderrAndFails) {
  expectFails({"-u"}, usage(viewerPath()));
}

TEST_F(CommandLine, UnknownOptionIsReportedThenUsageOnStderr) {
  expectFails({"-x"},
              viewerPath() + ": invalid option -- 'x'\n" + usage(viewerPath()));
}

TEST_F(CommandLine, UnknownLongOptionIsReportedThenUsageOnStderr) {
  expectFails({"--input1", "a.rgb"}, viewerPath() +
                                         ": unrecognized option '--input1'\n" +
                                         usage(viewerPath()));
}

TEST_F(CommandLine, InputOptionWithoutItsArgumentFails) {
  expectFails({"-0"}, viewerPath() + ": option requires an argument -- '0'\n" +
                          usage(viewerPath()));
}

TEST_F(CommandLine, ArgumentJoinedToTheLongOptionFailsTheCount) {
  writePicture("x");
  expectEnds({"--input0=x"}, {1, usage(viewerPath()), ""}, dir.path());
}

TEST_F(CommandLine, ArgumentJoinedToTheShortOptionFailsTheCount) {
  writePicture("x");
  expectEnds({"-0x"}, {1, usage(viewerPath()), ""}, dir.path());
}

TEST_F(CommandLine, FiveWordsFailTheCount) {
  writePicture("image.rgb");
  expectEnds({"-0", "image.rgb", "b", "c", "d"}, {1, usage(viewerPath()), ""},
             dir.path());
}

TEST_F(CommandLine, FirstOptionThatEndsTheProgramDecides) {
  expectEnds({"-h", "-u"}, {0, usage(viewerPath()), ""});
}

TEST_F(CommandLine, NoArgumentsLoadImageRgbFromTheWorkingFolder) {
  writePicture("image.rgb");
  expectRunsOn({}, dir.path(), "image.rgb");
}

TEST_F(CommandLine, TwoPlainWordsRunOnImageRgb) {
  writePicture("image.rgb");
  expectRunsOn({"alpha", "beta"}, dir.path(), "image.rgb");
}

TEST_F(CommandLine, LongInputOptionNamesTheFile) {
  writePicture("other.rgb");
  expectRunsOn({"--input0", "other.rgb"}, dir.path(), "other.rgb");
}

TEST_F(CommandLine, TheLastInputOptionWins) {
  // Joined to their options, two inputs still make the three words the
  // count allows.
  writePicture("good.rgb");
  expectFails({"--input0=good.rgb", "--input0=missing.rgb"},
              "unable to open RGB image file missing.rgb for reading.\n",
              dir.path());
  expectRunsOn({"-0missing.rgb", "-0good.rgb"}, dir.path(), "good.rgb");
}

TEST_F(CommandLine, MissingFileFailsWithTheReadersMessage) {
  expectFails({}, "unable to open RGB image file image.rgb for reading.\n",
              dir.path());
}

TEST_F(CommandLine, DamagedFileFailsWithTheReadersMessage) {
  rgbtest::HeaderFields header;
  header.magic = 475;
  header.xsize = 4;
  header.ysize = 2;
  Bytes bytes = rgbtest::headerBytes(header);
  bytes.resize(bytes.size() + 4 * 2 * 3, 0x80);
  rgbtest::writeFile(dir.file("bad.rgb"), bytes);
  expectFails(
      {"-0", "bad.rgb"},
      "ERROR: image has wrong magic number: 475. not an IRIS/RGB file.\n",
      dir.path());
}

TEST_F(CommandLine, NameLongerThan255CharactersIsRefusedBeforeAnyWindow) {
  const std::string name(256, 'n');
  expectFails({"-0", name}, "input name is longer than 255 characters.\n",
              dir.path());
}

TEST_F(CommandLine, PictureWithoutColumnsIsRefused) {
  rgbtest::HeaderFields header;
  header.xsize = 0;
  header.ysize = 5;
  rgbtest::writeFile(dir.file("empty.rgb"), rgbtest::headerBytes(header));
  expectFails({"-0", "empty.rgb"},
              "empty.rgb: pictures of 0 x 5 pixels cannot be shown.\n",
              dir.path());
}

TEST_F(CommandLine, PictureWithoutRowsIsRefused) {
  rgbtest::HeaderFields header;
  header.xsize = 7;
  header.ysize = 0;
  Bytes bytes = rgbtest::headerBytes(header);
  rgbtest::append(bytes, rgbtest::headerBytes(header));
  rgbtest::writeFile(dir.file("flat.rgb"), bytes);
  expectFails({"-0", "flat.rgb"},
              "flat.rgb: pictures of 7 x 0 pixels cannot be shown.\n",
              dir.path());
}

}  // namespace
}  // namespace viewertest
