/* SPDX-FileCopyrightText: 2026 The rgb authors
 * SPDX-License-Identifier: MIT
 *
 * make_sample: writes one sample frame for the viewer, a dim gradient with
 * bright discs inside and outside the region of interest, so that the
 * marking shows in every colour it uses. Given a frame count, it writes a
 * short recording instead: the first disc travels across the region, one
 * frame every 40 ms.
 *
 * Usage: make_sample [file [frames]]   (default image.rgb and 1 frame; an
 * existing file is replaced, since the library's file writer appends)
 */
#include <stdio.h>
#include <stdlib.h>

#include "rgb/rgb.h"

/* Large enough for all four edges of the region to show. */
enum { kWidth = 641, kHeight = 561, kChannels = 3 };

typedef struct Disc {
  int row, column, radius;
  unsigned char red, green, blue;
} Disc;

/* Rows count from the bottom of the picture. The region of interest spans
 * rows 300..500 and columns 200..400. */
static const Disc kDiscs[] = {
    {400, 300, 30, 255, 255, 255}, /* inside: turns green */
    {340, 240, 18, 230, 220, 200}, /* inside, just bright enough */
    {450, 250, 18, 190, 250, 250}, /* inside, red at the threshold: kept */
    {480, 390, 28, 255, 255, 255}, /* across the corner: partly green */
    {120, 120, 40, 255, 255, 255}, /* outside: stays white */
    {400, 540, 30, 250, 240, 220}, /* outside, right of the region */
    {530, 300, 20, 255, 255, 255}, /* outside, above the region */
};

static void paintBackground(unsigned char* image) {
  for (int i = 0; i < kHeight; ++i) {
    for (int j = 0; j < kWidth; ++j) {
      unsigned char* pixel = image + kChannels * ((size_t)i * kWidth + (size_t)j);
      pixel[0] = (unsigned char)(30 + 110 * j / kWidth);
      pixel[1] = (unsigned char)(30 + 90 * i / kHeight);
      pixel[2] = 100;
    }
  }
}

static void paintDisc(unsigned char* image, const Disc* disc) {
  const int r2 = disc->radius * disc->radius;
  for (int i = disc->row - disc->radius; i <= disc->row + disc->radius; ++i) {
    for (int j = disc->column - disc->radius; j <= disc->column + disc->radius;
         ++j) {
      const int di = i - disc->row;
      const int dj = j - disc->column;
      if (i < 0 || i >= kHeight || j < 0 || j >= kWidth) continue;
      if (di * di + dj * dj > r2) continue;
      unsigned char* pixel = image + kChannels * ((size_t)i * kWidth + (size_t)j);
      pixel[0] = disc->red;
      pixel[1] = disc->green;
      pixel[2] = disc->blue;
    }
  }
}

enum { kStep = 40, kCycle = 10000000, kTravel = 6 };

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "image.rgb";
  const int frames = argc > 2 ? atoi(argv[2]) : 1;
  /* An option is never a file name: "--help" would otherwise become one. */
  if (argc > 3 || frames < 1 || frames > 1000 || path[0] == '-') {
    fprintf(stderr, "Usage: %s [file [frames]]   (1 to 1000 frames)\n", argv[0]);
    return 1;
  }
  unsigned char* image = malloc((size_t)kWidth * kHeight * kChannels * (size_t)frames);
  int* stamps = malloc(sizeof(int) * (size_t)frames);
  if (!image || !stamps) {
    fputs("no memory for the sample picture.\n", stderr);
    free(image);
    free(stamps);
    return 1;
  }
  const int start = get_time();
  for (int n = 0; n < frames; ++n) {
    unsigned char* frame = image + (size_t)n * kWidth * kHeight * kChannels;
    paintBackground(frame);
    for (size_t k = 0; k < sizeof kDiscs / sizeof kDiscs[0]; ++k) {
      Disc disc = kDiscs[k];
      if (k == 0 && frames > 1) disc.column = 120 + n * kTravel % 400;
      paintDisc(frame, &disc);
    }
    stamps[n] = (start + n * kStep) % kCycle;
  }

  remove(path);
  const int written = frames == 1 ? writeRGBFile(path, image, kWidth, kHeight, 1)
                                  : writeRGBTimeFile(path, image, kWidth, kHeight, frames, stamps);
  free(image);
  free(stamps);
  if (written != frames) return 1; /* the writer has said why */
  if (frames == 1)
    printf("wrote %s (%d x %d)\n", path, kWidth, kHeight);
  else
    printf("wrote %s (%d frames of %d x %d, %d ms apart)\n", path, frames, kWidth, kHeight, kStep);
  return 0;
}
