// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The viewer's window: the display image or the input picture at its own
// size in the bottom-left corner, switched on keys.
#ifndef ZU_KORVE_WINDOW_H
#define ZU_KORVE_WINDOW_H

namespace zu_korve {

// Opens the viewer's window for a width x height picture and runs the GLUT
// main loop, which ends the process from the keyboard callback. GLUT must
// be initialised. The buffers are kept, not copied, and must live until exit.
[[noreturn]] void runWindow(const char* name, const unsigned char* input,
                            const unsigned char* display, int width,
                            int height);

}  // namespace zu_korve

#endif  // ZU_KORVE_WINDOW_H
