// The viewer's command line and start-up failures, run as a real process
// against a private X server that also tells whether a window appeared.
#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/viewer_support.h"

namespace viewertest {
namespace {

const std::string kTitlePrefix = "ZU_KORVE   file: ";

class CommandLine : public ViewerTest {
 protected:
  // Runs the viewer to its end and checks that it opened no window.
  xtest::Exit runWithoutWindow(const std::vector<std::string>& args,
                               const std::string& workdir = "") {
    const xtest::Exit exit = run(args, workdir);
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(x.windowsCreatedSinceLastCall(), 0);
    return exit;
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
  const xtest::Exit exit = runWithoutWindow({"-h"});
  EXPECT_EQ(exit.status, 0);
  EXPECT_EQ(exit.out, usage(viewerPath()));
  EXPECT_EQ(exit.err, "");
}

TEST_F(CommandLine, LongHelpPrintsUsageOnStdoutAndSucceeds) {
  const xtest::Exit exit = runWithoutWindow({"--help"});
  EXPECT_EQ(exit.status, 0);
  EXPECT_EQ(exit.out, usage(viewerPath()));
  EXPECT_EQ(exit.err, "");
}

TEST_F(CommandLine, OptionUPrintsUsageOnStderrAndFails) {
  const xtest::Exit exit = runWithoutWindow({"-u"});
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err, usage(viewerPath()));
}

TEST_F(CommandLine, UnknownOptionIsReportedThenUsageOnStderr) {
  const xtest::Exit exit = runWithoutWindow({"-x"});
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err,
            viewerPath() + ": invalid option -- 'x'\n" + usage(viewerPath()));
}

TEST_F(CommandLine, UnknownLongOptionIsReportedThenUsageOnStderr) {
  const xtest::Exit exit = runWithoutWindow({"--input1", "a.rgb"});
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err, viewerPath() + ": unrecognized option '--input1'\n" +
                          usage(viewerPath()));
}

TEST_F(CommandLine, InputOptionWithoutItsArgumentFails) {
  const xtest::Exit exit = runWithoutWindow({"-0"});
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err, viewerPath() + ": option requires an argument -- '0'\n" +
                          usage(viewerPath()));
}

TEST_F(CommandLine, ArgumentJoinedToTheLongOptionFailsTheCount) {
  writeFrameFile(dir.file("x"), {samplePicture(20, 10)});
  const xtest::Exit exit = runWithoutWindow({"--input0=x"}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, usage(viewerPath()));
  EXPECT_EQ(exit.err, "");
}

TEST_F(CommandLine, ArgumentJoinedToTheShortOptionFailsTheCount) {
  writeFrameFile(dir.file("x"), {samplePicture(20, 10)});
  const xtest::Exit exit = runWithoutWindow({"-0x"}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, usage(viewerPath()));
  EXPECT_EQ(exit.err, "");
}

TEST_F(CommandLine, FiveWordsFailTheCount) {
  writeFrameFile(dir.file("image.rgb"), {samplePicture(20, 10)});
  const xtest::Exit exit =
      runWithoutWindow({"-0", "image.rgb", "b", "c", "d"}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, usage(viewerPath()));
  EXPECT_EQ(exit.err, "");
}

TEST_F(CommandLine, FirstOptionThatEndsTheProgramDecides) {
  const xtest::Exit exit = runWithoutWindow({"-h", "-u"});
  EXPECT_EQ(exit.status, 0);
  EXPECT_EQ(exit.out, usage(viewerPath()));
  EXPECT_EQ(exit.err, "");
}

TEST_F(CommandLine, NoArgumentsLoadImageRgbFromTheWorkingFolder) {
  writeFrameFile(dir.file("image.rgb"), {samplePicture(30, 20)});
  expectRunsOn({}, dir.path(), "image.rgb");
}

TEST_F(CommandLine, TwoPlainWordsRunOnImageRgb) {
  writeFrameFile(dir.file("image.rgb"), {samplePicture(30, 20)});
  expectRunsOn({"alpha", "beta"}, dir.path(), "image.rgb");
}

TEST_F(CommandLine, LongInputOptionNamesTheFile) {
  writeFrameFile(dir.file("other.rgb"), {samplePicture(30, 20)});
  expectRunsOn({"--input0", "other.rgb"}, dir.path(), "other.rgb");
}

TEST_F(CommandLine, MissingFileFailsWithTheReadersMessage) {
  const xtest::Exit exit = runWithoutWindow({}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err, "unable to open RGB image file image.rgb for reading.\n");
}

TEST_F(CommandLine, DamagedFileFailsWithTheReadersMessage) {
  rgbtest::HeaderFields header;
  header.magic = 475;
  header.xsize = 4;
  header.ysize = 2;
  Bytes bytes = rgbtest::headerBytes(header);
  bytes.resize(bytes.size() + 4 * 2 * 3, 0x80);
  rgbtest::writeFile(dir.file("bad.rgb"), bytes);
  const xtest::Exit exit = runWithoutWindow({"-0", "bad.rgb"}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err,
            "ERROR: image has wrong magic number: 475. not an IRIS/RGB file.\n");
}

TEST_F(CommandLine, NameLongerThan255CharactersIsRefusedBeforeAnyWindow) {
  const std::string name(256, 'n');
  const xtest::Exit exit = runWithoutWindow({"-0", name}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err, "input name is longer than 255 characters.\n");
}

TEST_F(CommandLine, PictureWithoutColumnsIsRefused) {
  rgbtest::HeaderFields header;
  header.xsize = 0;
  header.ysize = 5;
  rgbtest::writeFile(dir.file("empty.rgb"), rgbtest::headerBytes(header));
  const xtest::Exit exit = runWithoutWindow({"-0", "empty.rgb"}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err, "empty.rgb: pictures of 0 x 5 pixels cannot be shown.\n");
}

TEST_F(CommandLine, PictureWithoutRowsIsRefused) {
  rgbtest::HeaderFields header;
  header.xsize = 7;
  header.ysize = 0;
  Bytes bytes = rgbtest::headerBytes(header);
  rgbtest::append(bytes, rgbtest::headerBytes(header));
  rgbtest::writeFile(dir.file("flat.rgb"), bytes);
  const xtest::Exit exit = runWithoutWindow({"-0", "flat.rgb"}, dir.path());
  EXPECT_EQ(exit.status, 1);
  EXPECT_EQ(exit.out, "");
  EXPECT_EQ(exit.err, "flat.rgb: pictures of 7 x 0 pixels cannot be shown.\n");
}

}  // namespace
}  // namespace viewertest
