// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/viewer/viewer_support.h"

namespace viewertest {

Picture bottomLeft(const xtest::Pixels& window, int width, int height) {
  if (window.width < width || window.height < height) return Picture{};
  Picture picture{width, height,
                  Bytes(3 * static_cast<std::size_t>(width) *
                            static_cast<std::size_t>(height),
                        0)};
  for (int i = 0; i < height; ++i) {
    const int fromTop = window.height - 1 - i;
    for (int j = 0; j < width; ++j) {
      const unsigned char* p = window.at(fromTop, j);
      picture.set(i, j, p[0], p[1], p[2]);
    }
  }
  return picture;
}

std::string usage(const std::string& program) {
  return "Usage: " + program +
         " [options]\n\nOptions:\n-0 | --input0 name    Name of image pipe\n"
         "-h | --help          Print this message\n";
}

std::string viewerPath() { return ZU_KORVE_PATH; }

namespace {

std::vector<std::string> viewerCommand(const std::vector<std::string>& args) {
  std::vector<std::string> argv{viewerPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace

std::unique_ptr<xtest::Child> ViewerTest::start(
    const std::vector<std::string>& args, const std::string& workdir) {
  return std::make_unique<xtest::Child>(viewerCommand(args), server.display(),
                                        workdir);
}

xtest::Exit ViewerTest::run(const std::vector<std::string>& args,
                            const std::string& workdir) {
  return xtest::Child(viewerCommand(args), server.display(), workdir).wait();
}

void ViewerTest::expectShows(xtest::Connection::WindowId window,
                             const Picture& expected) {
  const xtest::Pixels pixels = x.grabUntil(window, [&](const xtest::Pixels& p) {
    return difference(expected, bottomLeft(p, expected.width, expected.height))
        .empty();
  });
  EXPECT_EQ(difference(expected,
                       bottomLeft(pixels, expected.width, expected.height)),
            "");
}

}  // namespace viewertest
