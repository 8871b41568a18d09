// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The viewer's load path run in-process, where the leak checker of the
// sanitizer build and valgrind see every allocation it makes: viewer
// processes run without a leak check, since the X and GL libraries they load
// leave allocations of their own behind on some machines.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/test_support.h"
#include "tests/viewer/pictures.h"
#include "viewer/load.h"

namespace {

using viewertest::Picture;

struct Owned : zu_korve::LoadedPicture {
  ~Owned() {
    std::free(input);
    std::free(display);
  }
};

class LoadPicture : public ::testing::Test {
 protected:
  rgbtest::TempDir dir;

  // Loads `path`; returns what it printed, with the result in `loaded`.
  rgbtest::Output load(const std::string& path, bool expected) {
    return rgbtest::capture([&] {
      EXPECT_EQ(zu_korve::loadPicture(path.c_str(), &loaded), expected);
    });
  }
  Owned loaded;
};

TEST_F(LoadPicture, GivesFrameZeroAndItsDisplayImage) {
  const Picture first = viewertest::samplePicture(40, 30, 1);
  const std::string path = dir.file("two.rgb");
  viewertest::writeFrameFile(path, {first, viewertest::samplePicture(40, 30, 2)});
  const rgbtest::Output out = load(path, true);
  EXPECT_EQ(out.out + out.err, "");
  ASSERT_EQ(loaded.width, 40);
  ASSERT_EQ(loaded.height, 30);
  const Picture input{40, 30, rgbtest::Bytes(loaded.input, loaded.input + first.rgb.size())};
  const Picture display{40, 30, rgbtest::Bytes(loaded.display, loaded.display + first.rgb.size())};
  EXPECT_EQ(viewertest::difference(first, input), "");
  EXPECT_EQ(viewertest::difference(viewertest::expectedDisplay(first), display), "");
}

// Every failure holds nothing afterwards: a leak on these paths fails the
// sanitizer suite and valgrind.
TEST_F(LoadPicture, FailuresSayWhyAndHoldNothing) {
  const rgbtest::Output missing = load(dir.file("missing.rgb"), false);
  EXPECT_EQ(missing.err,
            "unable to open RGB image file " + dir.file("missing.rgb") + " for reading.\n");

  rgbtest::HeaderFields wide;
  wide.xsize = 5;
  wide.ysize = 0;
  const std::string empty = dir.file("empty.rgb");
  rgbtest::writeFile(empty, rgbtest::headerBytes(wide));
  EXPECT_EQ(load(empty, false).err, empty + ": pictures of 5 x 0 pixels cannot be shown.\n");

  rgbtest::HeaderFields bad;
  bad.magic = 475;
  const std::string damaged = dir.file("damaged.rgb");
  rgbtest::writeFile(damaged, rgbtest::headerBytes(bad));
  EXPECT_NE(load(damaged, false).err, "");
  EXPECT_EQ(loaded.input, nullptr);
  EXPECT_EQ(loaded.display, nullptr);
}

}  // namespace
