// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "viewer/window.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "toolkit/window.h"
#include "viewer/options.h"

namespace zu_korve {
namespace {

constexpr unsigned char kEscape = 27;
constexpr std::size_t kTitleCapacity = 256;
constexpr const char* kCreationTitle = "ZU KORVE";

// The viewer's state: one instance, alive until the process ends.
char inputname[kMaxInputName + 1];
int result = 1;  // non-zero shows disp_image, 0 shows acq_image
const unsigned char* acq_image = nullptr;
const unsigned char* disp_image = nullptr;
int img_width = 0;
int img_height = 0;

void RGBDisplayImage() {
  // The title names the file; a name too long for the buffer is cut.
  char title[kTitleCapacity] = {};
  if (std::snprintf(title, sizeof title, "ZU_KORVE   file: %s", inputname) < 0)
    title[0] = '\0';
  glutSetWindowTitle(title);

  toolkit::drawPicture(result ? disp_image : acq_image, img_width, img_height, 0, 0,
              1.0f);
  glFlush();
  glutSwapBuffers();
}

void RGBKeyboardCheck(unsigned char key, int, int) {
  switch (key) {
    case kEscape:
    case 'q':
      std::exit(0);
    case 'i':
      result = 0;
      break;
    case 'o':
      result = 1;
      break;
    default:
      break;
  }
  glutPostRedisplay();
}

}  // namespace

void runWindow(const char* name, const unsigned char* input,
               const unsigned char* display, int width, int height) {
  // The caller has refused names longer than the buffer holds.
  if (std::snprintf(inputname, sizeof inputname, "%s", name) < 0)
    inputname[0] = '\0';
  acq_image = input;
  disp_image = display;
  img_width = width;
  img_height = height;

  toolkit::openPictureWindow(kCreationTitle, img_width, img_height);

  glutDisplayFunc(RGBDisplayImage);
  glutReshapeFunc(toolkit::usePixelUnits);
  glutKeyboardFunc(RGBKeyboardCheck);
  glutMainLoop();
  // freeglut returns from its loop only when told to; this one never is.
  std::exit(0);
}

}  // namespace zu_korve
