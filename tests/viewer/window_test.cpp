// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The viewer's window in a real X server: size, title, every pixel, keys,
// resizing and exit statuses.
#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/viewer_support.h"

namespace viewertest {
namespace {

const std::string kTitlePrefix = "ZU_KORVE   file: ";

class Window : public ViewerTest {
 protected:
  // Writes `picture` to a file, starts the viewer on it and waits for the
  // drawn window.
  xtest::Connection::WindowId open(const Picture& picture,
                                   const std::string& name = "frames.rgb") {
    path = dir.file(name);
    writeFrameFile(path, {picture});
    viewer = start({"-0", path});
    return x.waitForWindow(kTitlePrefix);
  }
  void expectEndsWithSuccess() {
    const xtest::Exit exit = viewer->wait();
    EXPECT_TRUE(exit.exited);
    EXPECT_EQ(exit.status, 0);
    EXPECT_EQ(exit.out, "");
    EXPECT_EQ(exit.err, "");
  }

  std::string path;
  std::unique_ptr<xtest::Child> viewer;
};

TEST_F(Window, HasThePictureSizeAndNamesTheFileInItsTitle) {
  const Picture picture = samplePicture(641, 561);
  const auto window = open(picture, "other.rgb");
  EXPECT_EQ(x.size(window), std::make_pair(641, 561));
  EXPECT_EQ(x.title(window), kTitlePrefix + path);
  EXPECT_EQ(x.windowsCreatedSinceLastCall(), 1);
  x.typeKey(window, 'q');
  expectEndsWithSuccess();
}

TEST_F(Window, ShowsTheMarkedDisplayImageFirstWithRowZeroAtTheBottom) {
  const Picture picture = samplePicture(641, 561);
  const auto window = open(picture);
  expectShows(window, expectedDisplay(picture));
  x.typeKey(window, 'q');
  expectEndsWithSuccess();
}

TEST_F(Window, ClipsTheRegionEdgesToANarrowPicture) {
  const Picture picture = samplePicture(351, 480, 3);
  const auto window = open(picture);
  EXPECT_EQ(x.size(window), std::make_pair(351, 480));
  expectShows(window, expectedDisplay(picture));
  x.typeKey(window, xtest::kEscape);
  expectEndsWithSuccess();
}

TEST_F(Window, ShowsASmallOddPictureUnchanged) {
  const Picture picture = samplePicture(37, 23, 5);
  const auto window = open(picture);
  EXPECT_EQ(x.size(window), std::make_pair(37, 23));
  ASSERT_EQ(difference(picture, expectedDisplay(picture)), "");
  expectShows(window, picture);
  x.typeKey(window, xtest::kEscape);
  expectEndsWithSuccess();
}

TEST_F(Window, ShowsFrameZeroOfAFileOfSeveralFrames) {
  const Picture first = samplePicture(403, 507, 1);
  const Picture second = samplePicture(403, 507, 2);
  path = dir.file("three.rgb");
  writeFrameFile(path, {first, second, second});
  viewer = start({"-0", path});
  const auto window = x.waitForWindow(kTitlePrefix);
  expectShows(window, expectedDisplay(first));
  x.typeKey(window, 'i');
  expectShows(window, first);
  x.typeKey(window, 'q');
  expectEndsWithSuccess();
}

TEST_F(Window, KeyISwitchesToTheInputAndKeyOBack) {
  const Picture picture = samplePicture(641, 561, 7);
  const auto window = open(picture);
  expectShows(window, expectedDisplay(picture));
  x.typeKey(window, 'i');
  expectShows(window, picture);
  x.typeKey(window, 'o');
  expectShows(window, expectedDisplay(picture));
  x.typeKey(window, 'q');
  expectEndsWithSuccess();
}

TEST_F(Window, UpperCaseQOnlyRedraws) {
  const Picture picture = samplePicture(641, 561, 9);
  const auto window = open(picture);
  x.typeKey(window, 'i');
  expectShows(window, picture);
  // Blank the window behind the viewer's back: only a redraw brings the
  // picture back, and it must still be the input view.
  x.fill(window, 0, 0, 0);
  x.grabUntil(window, [&](const xtest::Pixels& p) {
    return !difference(picture, bottomLeft(p, 641, 561)).empty();
  });
  x.typeKey(window, 'Q');
  expectShows(window, picture);
  EXPECT_TRUE(viewer->running());
  x.typeKey(window, 'q');
  expectEndsWithSuccess();
}

TEST_F(Window, KeepsThePictureSizeAtTheBottomLeftWhenEnlarged) {
  const Picture picture = samplePicture(421, 509, 11);
  const auto window = open(picture);
  expectShows(window, expectedDisplay(picture));
  x.resize(window, 421 + 150, 509 + 97);
  x.typeKey(window, 'i');
  expectShows(window, picture);
  EXPECT_EQ(x.size(window), std::make_pair(571, 606));
  x.typeKey(window, 'o');
  expectShows(window, expectedDisplay(picture));
  x.typeKey(window, 'q');
  expectEndsWithSuccess();
}

TEST_F(Window, EscapeEndsTheProgramWithSuccess) {
  const auto window = open(samplePicture(64, 48));
  x.typeKey(window, xtest::kEscape);
  expectEndsWithSuccess();
}

TEST_F(Window, TitleOfTheLongestNameIsCutToItsBuffer) {
  const std::string name(255, 'n');
  writeFrameFile(dir.file(name), {samplePicture(50, 40)});
  viewer = start({"-0", name}, dir.path());
  const auto window = x.waitForWindow(kTitlePrefix);
  const std::string full = kTitlePrefix + name;
  EXPECT_EQ(x.title(window), full.substr(0, 255));
  x.typeKey(window, 'q');
  expectEndsWithSuccess();
}

}  // namespace
}  // namespace viewertest
