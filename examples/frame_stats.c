/* SPDX-FileCopyrightText: 2026 The rgb authors
 * SPDX-License-Identifier: MIT
 *
 * frame_stats: prints each frame's index, stamp and mean brightness, read
 * through the library's handle API from a file, a FIFO or standard input
 * ("-"). A minimal consumer of the API:
 *
 *   cc frame_stats.c $(pkg-config --cflags --libs rgb) -o frame_stats
 *   ./frame_stats recording.rgb
 *
 * Exit status 0 when the stream ended cleanly between frames, 1 otherwise.
 */
#include <rgb/rgb.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(const char* what, int status) {
  fprintf(stderr, "frame_stats: %s: %s\n", what, rgb_strerror(status));
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: frame_stats FILE|FIFO|-\n");
    return 2;
  }
  rgb_reader* reader = NULL;
  int status = strcmp(argv[1], "-") == 0 ? rgb_reader_from_file(&reader, stdin)
                                         : rgb_reader_open(&reader, argv[1]);
  if (status != RGB_OK) return fail(argv[1], status);

  /* One buffer, sized from the first frame: every frame of a stream has the
   * first frame's size, and the reader refuses one that would not fit. */
  rgb_frame_info info;
  status = rgb_reader_info(reader, &info);
  size_t capacity = status == RGB_OK ? rgb_frame_bytes(&info, RGB_TOP_ROW_FIRST) : 0;
  unsigned char* pixels = malloc(capacity > 0 ? capacity : 1);
  if (!pixels) status = RGB_ENOMEM;

  while (status == RGB_OK &&
         (status = rgb_reader_next(reader, pixels, capacity, RGB_TOP_ROW_FIRST, &info)) == RGB_OK) {
    unsigned long long sum = 0;
    for (size_t i = 0; i < capacity; ++i) sum += pixels[i];
    printf("frame %lld: stamp %ld ms, %dx%d, mean %.2f\n", (long long)info.index,
           (long)info.stamp, info.width, info.height, capacity ? (double)sum / (double)capacity : 0.0);
  }
  free(pixels);
  rgb_reader_close(reader);
  return status == RGB_END ? 0 : fail(argv[1], status);
}
