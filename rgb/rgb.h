/*
 * rgb: frame streams of uncompressed SGI RGB pictures with millisecond time
 * stamps.
 *
 * A frame is a 512-byte header followed by planar pixel data: ZSIZE planes
 * (red, green, blue, then alpha when ZSIZE is 4), each YSIZE scanlines of
 * XSIZE bytes. A stream is frames back to back, all the size of the first.
 * Every multi-byte header field is big-endian in the stream.
 *
 * In memory, frames live in one interleaved buffer: channel c of the pixel in
 * row r, column k of frame n is byte 3 * ((n * H + r) * W + k) + c. Row 0 is
 * the first scanline of a frame in the stream and the bottom row on screen.
 *
 * Results: a frame count (or 1) on success and 0 on failure; every failure
 * prints a one-line message where it is found. Buffers the readers allocate
 * come from malloc and belong to the caller, who releases them with free,
 * also after a failed call.
 */
#ifndef RGB_RGB_H
#define RGB_RGB_H

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The 512-byte frame header, byte for byte as in the stream. After
 * readRGBHeader the 16- and 32-bit fields hold host-order values; the byte
 * fields and areas stay as read. */
typedef struct RGBHeader {
  uint16_t MAGIC;            /*   0: 474 */
  uint8_t STORAGE;           /*   2: 0 = uncompressed */
  uint8_t BPC;               /*   3: bytes per channel, 1 */
  uint16_t DIMENSION;        /*   4: 3 */
  uint16_t XSIZE;            /*   6: width in pixels */
  uint16_t YSIZE;            /*   8: height in rows */
  uint16_t ZSIZE;            /*  10: planes, 3 (RGB) or 4 (RGBA) */
  int32_t PIXMIN;            /*  12: written as 0 */
  int32_t PIXMAX;            /*  16: written as 255 */
  uint8_t DUMMY[4];          /*  20: zero */
  char IMAGENAME[80];        /*  24: zero, never read */
  int32_t COLORMAP;          /* 104: written as 0 */
  int32_t TIMESTAMP;         /* 108: milliseconds within 10,000 seconds */
  uint8_t RESERVED[400];     /* 112: zero */
} RGBHeader;

/* ---- header, byte order and clock ---- */

/* Reads and validates one header; 1 if accepted, 0 otherwise. */
int readRGBHeader(FILE* stream, RGBHeader* header);
/* Writes the 512 bytes of a header already in stream byte order. */
int writeRGBHeader(FILE* stream, const RGBHeader* header);

void swap_ushort(uint16_t* value); /* 0x1122 -> 0x2211 */
void swap_uint(uint32_t* value);   /* 0x11223344 -> 0x22114433 */
void swap_uuint(uint32_t* value);  /* 0x11223344 -> 0x44332211 */

/* Milliseconds within the current 10,000-second cycle (0 .. 9,999,999). */
int get_time(void);
/* a - b, with no correction for the wrap of the cycle. */
int diff_time(int a, int b);

/* ---- readers ----
 * images and times point to the caller's pointer variables: a null pointer
 * asks the reader to allocate (caller frees), a non-null one is filled in
 * place (caller guarantees frames * width * height * 3 bytes, or frames
 * entries). width and height receive the frames' size.
 *
 * A pipe consumer passes the buffers of its first call back on later calls.
 * The reader cannot know their size and fills them with a frame of the size
 * its header declares: where a producer may change the picture size, give
 * the reader buffers for the largest frame it may send, or free and pass
 * null pointers on every call. */

int readRGBTimeStream(FILE* stream, unsigned char** images, int* width,
                      int* height, int frames, int** times);
int readRGBTimePipe(FILE* stream, unsigned char** images, int* width,
                    int* height, int** times);
int readRGBPipe(FILE* stream, unsigned char** images, int* width, int* height);
/* Whole frames in a seekable stream, which is rewound; 0 on failure. */
int getRGBNoOfFrames(FILE* stream);
int readRGBTimeFile(const char* path, unsigned char** images, int* width,
                    int* height, int** times);
int readRGBFile(const char* path, unsigned char** images, int* width,
                int* height);
FILE* openRGBReadPipe(const char* path);

/* ---- writers ----
 * Frames are written with ZSIZE 3; width and height must be 0 .. 65,535.
 * The file writers append, so repeated calls grow one stream. */

int writeRGBTimeStream(FILE* stream, const unsigned char* images, int width,
                       int height, int frames, const int* times);
int writeRGBTimePipe(FILE* stream, const unsigned char* images, int width,
                     int height, const int* times);
int writeRGBPipe(FILE* stream, const unsigned char* images, int width,
                 int height);
int writeRGBTimeFile(const char* path, const unsigned char* images, int width,
                     int height, int frames, const int* times);
int writeRGBFile(const char* path, const unsigned char* images, int width,
                 int height, int frames);
FILE* openRGBWritePipe(const char* path);

#ifdef __cplusplus
}
#endif

#endif /* RGB_RGB_H */
