// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
/* An outside program using the installed library from C: one frame out to
 * a file and back. */
#include <rgb/rgb.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  const unsigned char pixels[6] = {1, 2, 3, 4, 5, 6};
  const int stamp = 1234;
  unsigned char* images = NULL;
  int* times = NULL;
  int width = 0, height = 0, ok;
  if (argc != 2) return 2;
  if (writeRGBTimeFile(argv[1], pixels, 2, 1, 1, &stamp) != 1) return 1;
  ok = readRGBTimeFile(argv[1], &images, &width, &height, &times) == 1 && width == 2 &&
       height == 1 && memcmp(images, pixels, sizeof pixels) == 0 && times[0] == stamp;
  free(images);
  free(times);
  return ok ? 0 : 1;
}
