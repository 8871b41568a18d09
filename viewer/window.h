// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The GLUT window code shared by the viewer and rgbplay, and the viewer's
// window: the display image or the input picture at its own size in the
// bottom-left corner, switched on keys.
#ifndef ZU_KORVE_WINDOW_H
#define ZU_KORVE_WINDOW_H

namespace zu_korve {

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
void drawPicture(const unsigned char* pixels, int width, int height, int left,
                 int bottom, float zoom);

// Opens the viewer's window for a width x height picture and runs the GLUT
// main loop, which ends the process from the keyboard callback. GLUT must
// be initialised. The buffers are kept, not copied, and must live until exit.
[[noreturn]] void runWindow(const char* name, const unsigned char* input,
                            const unsigned char* display, int width,
                            int height);

}  // namespace zu_korve

#endif  // ZU_KORVE_WINDOW_H
