// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
/* The C side of bench/python_read.py: loads a whole stream with readRGBFile
 * in a process of its own, as a C program would.
 *
 *   bench_python_read_load FILE */
#include <stdio.h>
#include <stdlib.h>

#include "rgb/rgb.h"

int main(int argc, char** argv) {
  unsigned char* images = NULL;
  int width = 0;
  int height = 0;
  int frames;
  size_t bytes;
  size_t i;
  unsigned sum = 0;
  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  frames = readRGBFile(argv[1], &images, &width, &height);
  bytes = (size_t)(frames > 0 ? frames : 0) * (size_t)width * (size_t)height * 3u;
  /* A sample of the bytes keeps the load from being optimised away. */
  for (i = 0; i < bytes; i += 4093) sum += images[i];
  printf("%d frames, sample sum %u\n", frames, sum);
  free(images);
  return frames > 0 ? 0 : 1;
}
