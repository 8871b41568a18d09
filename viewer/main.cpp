// zu_korve: shows frame 0 of a frame file in a window, with near-white
// pixels inside the region of interest painted green.
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "rgb/rgb.h"
#include "viewer/display_image.h"
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

  // A file that cannot be loaded is a failure: the reader has said why.
  unsigned char* input = nullptr;
  int width = 0;
  int height = 0;
  if (readRGBFile(inputName.c_str(), &input, &width, &height) <= 0) {
    std::free(input);
    return kFailure;
  }
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "%s: pictures of %d x %d pixels cannot be shown.\n",
                 inputName.c_str(), width, height);
    std::free(input);
    return kFailure;
  }
  unsigned char* display = zu_korve::makeDisplayImage(input, width, height);
  if (!display) {
    std::free(input);
    return kFailure;
  }
  zu_korve::runWindow(inputName.c_str(), input, display, width, height);
}
