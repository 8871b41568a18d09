// The viewer's GLUT window: shows the display image or the input picture
// at its own size in the bottom-left corner and switches on keys.
#ifndef ZU_KORVE_WINDOW_H
#define ZU_KORVE_WINDOW_H

namespace zu_korve {

// Opens the window for a width x height picture and runs the GLUT main
// loop, which ends the process from the keyboard callback. GLUT must be
// initialised. The buffers are kept, not copied, and must live until exit.
[[noreturn]] void runWindow(const char* name, const unsigned char* input,
                            const unsigned char* display, int width,
                            int height);

}  // namespace zu_korve

#endif  // ZU_KORVE_WINDOW_H
