// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Pictures, frame files and the expected display image for the viewer
// tests, plus the fixture that gives each window test its own X server.
#ifndef RGB_TESTS_VIEWER_SUPPORT_H
#define RGB_TESTS_VIEWER_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/viewer/pictures.h"
#include "tests/viewer/xserver.h"

namespace viewertest {

// The window region of `picture`'s size at its bottom-left corner, turned
// into a picture with row 0 at the bottom.
Picture bottomLeft(const xtest::Pixels& window, int width, int height);

// The usage text the viewer prints for a program name.
std::string usage(const std::string& program);

// The built viewer.
std::string viewerPath();

// Each test gets a private Xvfb, a client connection to it and a folder.
class ViewerTest : public ::testing::Test {
 protected:
  xtest::Xvfb server;
  xtest::Connection x{server.display()};
  rgbtest::TempDir dir;

  // Starts the viewer with these arguments after the program name, for a
  // run that opens its window.
  std::unique_ptr<xtest::Child> start(const std::vector<std::string>& args,
                                      const std::string& workdir = "");
  // Runs the viewer to its end, for a run that opens no window.
  xtest::Exit run(const std::vector<std::string>& args,
                  const std::string& workdir = "");
  // Waits until the bottom-left corner of the window shows `expected`.
  // Fails the test with the first difference when it does not.
  void expectShows(xtest::Connection::WindowId window, const Picture& expected);
};

}  // namespace viewertest

#endif  // RGB_TESTS_VIEWER_SUPPORT_H
