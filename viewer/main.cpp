// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// zu_korve: shows frame 0 of a frame file in a window, with near-white
// pixels inside the region of interest painted green.
#include <GL/glut.h>

#include <string>

#include "viewer/load.h"
#include "viewer/options.h"
#include "viewer/window.h"

namespace {
constexpr int kFailure = 1;
}  // namespace

int main(int argc, char** argv) {
  std::string inputName;
  const int status = zu_korve::parseCommandLine(argc, argv, inputName);
  if (status != zu_korve::kContinue) return status;

  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);

  // A file that cannot be loaded is a failure: loadPicture has said why.
  zu_korve::LoadedPicture picture;
  if (!zu_korve::loadPicture(inputName.c_str(), &picture)) return kFailure;
  zu_korve::runWindow(inputName.c_str(), picture.input, picture.display, picture.width,
                      picture.height);
}
