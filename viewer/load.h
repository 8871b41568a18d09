// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Loading a frame file for the window: the input picture and its display
// image, both kept until the process ends.
#ifndef ZU_KORVE_LOAD_H
#define ZU_KORVE_LOAD_H

namespace zu_korve {

struct LoadedPicture {
  unsigned char* input = nullptr;    // frame 0 onwards, as the reader gave it
  unsigned char* display = nullptr;  // frame 0 with the region marked
  int width = 0;
  int height = 0;
};

// Reads the frame file `name` and builds the display image of frame 0. On
// failure prints why (the reader's messages, or one line of its own), holds
// nothing and returns false; on success the caller owns both buffers
// (malloc family).
bool loadPicture(const char* name, LoadedPicture* picture);

}  // namespace zu_korve

#endif  // ZU_KORVE_LOAD_H
