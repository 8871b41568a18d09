// Pictures, frame files and the expected display image for the viewer
// tests, plus the fixture that gives each window test its own X server.
#ifndef RGB_TESTS_VIEWER_SUPPORT_H
#define RGB_TESTS_VIEWER_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/viewer/xserver.h"

namespace viewertest {

using rgbtest::Bytes;

// An interleaved RGB picture with row 0 at the bottom, as the viewer holds it.
struct Picture {
  int width = 0;
  int height = 0;
  Bytes rgb;
  unsigned char* at(int row, int column);
  const unsigned char* at(int row, int column) const;
  void set(int row, int column, unsigned char red, unsigned char green,
           unsigned char blue);
};

// A patterned picture (rgbtest::patternImage) with white squares inside
// and outside the region of interest where the picture reaches them.
Picture samplePicture(int width, int height, unsigned seed = 0);

// The display image worked out pixel by pixel from the rules, independent
// of the viewer's own marking code.
Picture expectedDisplay(const Picture& input);

// Writes frames to a frame file (headers built byte by byte).
void writeFrameFile(const std::string& path, const std::vector<Picture>& frames);

// The window region of `picture`'s size at its bottom-left corner, turned
// into a picture with row 0 at the bottom.
Picture bottomLeft(const xtest::Pixels& window, int width, int height);

// Empty when equal, else the picture sizes or the first differing pixel.
std::string difference(const Picture& expected, const Picture& actual);

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

  // Starts the viewer with these arguments after the program name.
  std::unique_ptr<xtest::Child> start(const std::vector<std::string>& args,
                                      const std::string& workdir = "");
  // Runs the viewer to its end.
  xtest::Exit run(const std::vector<std::string>& args,
                  const std::string& workdir = "");
  // Waits until the bottom-left corner of the window shows `expected`.
  // Fails the test with the first difference when it does not.
  void expectShows(xtest::Connection::WindowId window, const Picture& expected);
};

}  // namespace viewertest

#endif  // RGB_TESTS_VIEWER_SUPPORT_H
