// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The GLUT window pieces the viewer and the player share: a window in pixel
// units and pictures drawn into it at their own size or zoomed.
#ifndef TOOLKIT_WINDOW_H
#define TOOLKIT_WINDOW_H

namespace toolkit {

// Makes one unit one window pixel with the origin at the bottom-left
// corner of a width x height window; also the reshape callback.
void usePixelUnits(int width, int height);

// Creates a width x height window at the screen's top-left corner titled
// `title`, sets it up in pixel units and starts it black. GLUT must be
// initialised; the window becomes the current one.
int openPictureWindow(const char* title, int width, int height);

// Draws a width x height interleaved RGB picture (row 0 at the bottom,
// rows tightly packed) into the back buffer with its bottom-left corner at
// window pixel (left, bottom), each picture pixel `zoom` window pixels wide
// and high. The corner must lie inside the window.
void drawPicture(const unsigned char* pixels, int width, int height, int left, int bottom,
                 float zoom);

}  // namespace toolkit

#endif  // TOOLKIT_WINDOW_H
