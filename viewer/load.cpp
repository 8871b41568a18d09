// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "viewer/load.h"

#include <cstdio>
#include <cstdlib>

#include "rgb/rgb.h"
#include "viewer/display_image.h"

namespace zu_korve {

bool loadPicture(const char* name, LoadedPicture* picture) {
  unsigned char* input = nullptr;
  int width = 0;
  int height = 0;
  // The reader has said why when it fails.
  if (readRGBFile(name, &input, &width, &height) <= 0) {
    std::free(input);
    return false;
  }
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "%s: pictures of %d x %d pixels cannot be shown.\n", name, width,
                 height);
    std::free(input);
    return false;
  }
  unsigned char* display = makeDisplayImage(input, width, height);
  if (!display) {
    std::free(input);
    return false;
  }
  *picture = LoadedPicture{input, display, width, height};
  return true;
}

}  // namespace zu_korve
