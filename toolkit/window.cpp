// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/window.h"

#include <GL/glut.h>

namespace toolkit {

// One unit is one window pixel with the origin at the bottom-left corner,
// so a picture keeps its own size whatever the window's.
void usePixelUnits(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

int openPictureWindow(const char* title, int width, int height) {
  glutInitWindowPosition(0, 0);
  glutInitWindowSize(width, height);
  const int window = glutCreateWindow(title);
  usePixelUnits(width, height);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glutSwapBuffers();
  glFlush();
  return window;
}

void drawPicture(const unsigned char* pixels, int width, int height, int left, int bottom,
                 float zoom) {
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  glRasterPos2i(left, bottom);
  glDisable(GL_DITHER);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows are tightly packed
  glPixelZoom(zoom, zoom);
  glDrawPixels(width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace toolkit
