/* SPDX-FileCopyrightText: 2026 The rgb authors
 * SPDX-License-Identifier: MIT
 *
 * rgb: frame streams of uncompressed SGI RGB pictures with millisecond time
 * stamps.
 *
 * A frame is a 512-byte header followed by planar pixel data: ZSIZE planes
 * (red, green, blue, then alpha when ZSIZE is 4), each YSIZE scanlines of
 * XSIZE bytes. A stream is frames back to back, all the size of the first.
 * Every multi-byte header field is big-endian in the stream.
 *
 * Two faces over one core:
 *
 * - The handle API (rgb_reader, rgb_writer): status codes, never prints,
 *   random access on files, a clean end told apart from a damaged one, and
 *   every frame read into a buffer whose capacity the caller states. This is
 *   the way to read streams that may come from untrusted producers.
 *
 * - The classic functions (readRGBTimeStream and friends): a frame count (or
 *   1) on success and 0 on failure; every failure prints a one-line message
 *   where it is found (or hands it to the message handler). Buffers the
 *   readers allocate come from malloc and belong to the caller, who releases
 *   them with free, also after a failed call.
 *
 * In memory, frames are interleaved: channel c of the pixel in row r,
 * column k of frame n is byte 3 * ((n * H + r) * W + k) + c. Row 0 is the
 * first scanline of a frame in the stream and the bottom row on screen; the
 * handle reader gives the top row first on request.
 *
 * Threads: distinct handles, and classic calls on distinct streams, may be
 * used from distinct threads at once. One handle must not be used by two
 * threads at the same time. rgb_set_message_handler is meant to be called
 * once at start-up, before other threads use the library.
 *
 * Appending to files: the file writers (writeRGBTimeFile, writeRGBFile,
 * rgb_writer_open) hold an exclusive advisory lock (flock) on the file for
 * each append, so appenders using this library never interleave their
 * frames. An append that fails is undone: the file is cut back to where the
 * append began, provided it still ends with this append's own bytes (no
 * writer outside the library wrote after them). A reader that does not take
 * the lock may see an append in progress as stray bytes after the last whole
 * frame; every whole frame it counts is complete.
 *
 * An append is never ended by a file-size limit (RLIMIT_FSIZE): a write
 * past it fails (errno EFBIG) and is undone like any other failed append;
 * the library does not change signal dispositions for this, SIGXFSZ is held
 * back in the calling thread for the append's duration only.
 *
 * Replacing a file under appenders: after taking the lock an appender
 * checks that its path still names the file it locked, and reopens the
 * path if not. A program that replaces a stream by renaming a new file over
 * it takes the lock on the old file around the rename; appends then go to
 * the old file before the replacement and to the new one after it, never
 * to a file that no name leads to.
 */
#ifndef RGB_RGB_H
#define RGB_RGB_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* Only the functions declared here are exported from the shared library. */
#if defined(__GNUC__) || defined(__clang__)
#define RGB_API __attribute__((visibility("default")))
#else
#define RGB_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define RGB_VERSION_MAJOR 1
#define RGB_VERSION_MINOR 1
#define RGB_VERSION_PATCH 0

/* The library's version as "MAJOR.MINOR.PATCH", from the library actually
 * linked (which may differ from the macros a program was built with). */
RGB_API const char* rgb_version(void);

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


/* ---- handle API ---------------------------------------------------------
 * Every function returns RGB_OK (0) or a negative status; rgb_reader_info,
 * rgb_reader_peek, rgb_reader_next and rgb_reader_next_grow also return
 * RGB_END. None of them prints. After RGB_EOPEN and RGB_EIO, errno holds the
 * system's reason.
 *
 * Pointer arguments: the handle and every out-parameter must not be NULL
 * (RGB_EINVAL), except those said here to be optional: stray_bytes of
 * rgb_reader_count and info of rgb_reader_next and rgb_reader_next_grow. */

enum rgb_status {
  RGB_OK = 0,
  RGB_END = 1,              /* clean end of the stream, between frames */
  RGB_EINVAL = -1,          /* bad argument (null pointer, unknown flag, size) */
  RGB_ENOMEM = -2,          /* no memory */
  RGB_EOPEN = -3,           /* the path could not be opened */
  RGB_EIO = -4,             /* a read, write, flush or close failed */
  RGB_EMAGIC = -5,          /* MAGIC is not 474: not an RGB stream */
  RGB_ESTORAGE = -6,        /* STORAGE is not 0 (compressed) */
  RGB_EBPC = -7,            /* BPC is not 1 */
  RGB_EDIMENSION = -8,      /* DIMENSION is not 3 */
  RGB_EPLANES = -9,         /* ZSIZE is not 3 or 4 */
  RGB_ESHORTHEADER = -10,   /* the stream ends inside a frame header */
  RGB_ETRUNCATED = -11,     /* the stream ends inside a frame's pixels */
  RGB_ESIZECHANGE = -12,    /* a frame's size differs from the first frame's */
  RGB_ECAPACITY = -13,      /* the frame does not fit the caller's buffer */
  RGB_EUNSEEKABLE = -14,    /* counting or seeking on a pipe */
  RGB_ERANGE = -15,         /* a frame index past the end */
  RGB_ETOOLARGE = -16       /* a side above 65,535, or a size beyond size_t */
};

/* A short English reason for a status, never null. */
RGB_API const char* rgb_strerror(int status);

enum rgb_flags {
  RGB_TOP_ROW_FIRST = 1, /* rows from the top of the picture down */
  RGB_PLANAR = 2,        /* the planes as stored (alpha kept), not interleaved */
  RGB_FRESH_BUFFER = 4,  /* a hint: the buffer is memory nobody has written yet
                            (just mapped or allocated), so the reader asks the
                            kernel for its pages as it fills them, in one call
                            per band, instead of one page fault per page */
  RGB_CUT_PARTIAL = 8    /* writers: a file that ends inside a frame (what a
                            crash or a full disk leaves) is first cut back to
                            its last whole frame, instead of being refused
                            with RGB_ETRUNCATED */
};

typedef struct rgb_frame_info {
  int width;     /* XSIZE */
  int height;    /* YSIZE */
  int planes;    /* ZSIZE: 3 (RGB) or 4 (RGBA) */
  int32_t stamp; /* TIMESTAMP, milliseconds within the 10,000-second cycle */
  int64_t index; /* the frame's number in the stream, from 0; after a failed
                    rgb_reader_next or rgb_reader_peek, the number of the
                    frame that failed (the other fields are then unspecified) */
} rgb_frame_info;

/* Bytes a frame of this shape needs in the caller's buffer: width * height
 * * 3 interleaved, or width * height * planes with RGB_PLANAR. */
RGB_API size_t rgb_frame_bytes(const rgb_frame_info* info, int flags);

typedef struct rgb_reader rgb_reader;

/* Opens a regular file or a FIFO (waiting, as open(2) does, for a FIFO's
 * writer). The stream starts where the file starts. On failure *reader is
 * set to NULL (when reader itself is not null). */
RGB_API int rgb_reader_open(rgb_reader** reader, const char* path);
/* Reads from a stream the caller opened and keeps open: the library never
 * closes it. The frame stream starts at the stream's current position. On
 * failure *reader is set to NULL. */
RGB_API int rgb_reader_from_file(rgb_reader** reader, FILE* stream);
/* The first frame's size, planes and stamp, read if need be without losing
 * that frame for rgb_reader_next. RGB_END for an empty stream; a damaged
 * first header gives its status. */
RGB_API int rgb_reader_info(rgb_reader* reader, rgb_frame_info* first);
/* Whole frames of a seekable stream and the bytes after the last one, from
 * its size (no pixels read). A stream shorter than one header (empty, or a
 * first header still being written) has 0 frames and its length as stray
 * bytes. stray_bytes may be NULL. */
RGB_API int rgb_reader_count(rgb_reader* reader, int64_t* frames, uint64_t* stray_bytes);
/* Positions a seekable stream at frame `index` (0 .. count; count is the
 * end). Past the end: RGB_ERANGE, and the position is kept. RGB_EUNSEEKABLE
 * on a pipe. */
RGB_API int rgb_reader_seek(rgb_reader* reader, int64_t index);
/* The index of the frame rgb_reader_next would read next: the frames read
 * so far, or where rgb_reader_seek put the reader. */
RGB_API int rgb_reader_tell(rgb_reader* reader, int64_t* index);
/* The next frame's header, without consuming the frame: RGB_OK with *next
 * filled in, RGB_END at a clean end of the stream, or the failure that
 * rgb_reader_next would report (a damaged header, a size change, a stream
 * that ends inside the header), with next->index naming the frame. */
RGB_API int rgb_reader_peek(rgb_reader* reader, rgb_frame_info* next);
/* Reads the next frame into pixels (capacity bytes). RGB_END at a clean end
 * between frames; RGB_ETRUNCATED when the stream ends inside the frame (the
 * whole scanlines that arrived are in pixels); RGB_ECAPACITY when the frame
 * does not fit: nothing is written and the frame stays next. info, when not
 * null, receives the frame's header, also with RGB_ECAPACITY, and on every
 * failure the failing frame's index. A stream may still grow after RGB_END
 * (a file being appended to): call again. */
RGB_API int rgb_reader_next(rgb_reader* reader, unsigned char* pixels, size_t capacity, int flags,
                    rgb_frame_info* info);
/* As rgb_reader_next, into a buffer the reader sizes: *pixels is NULL (with
 * *capacity 0) or comes from malloc with *capacity bytes, and is grown with
 * realloc (the new pointer and size stored back) only once the frame's
 * bytes are there: from a file, when the file holds the whole frame (else
 * RGB_ETRUNCATED, nothing allocated, and the frame is next again, to be
 * read once the file has grown); from a pipe, once they have all arrived
 * (they are gathered inside the reader meanwhile, as much memory as has
 * arrived). A header declaring a huge frame thus costs no memory until its
 * pixels come. When the buffer was large enough it is used as it is, as by
 * rgb_reader_next; when it had to grow and the frame ends early, nothing is
 * stored in it. On RGB_ENOMEM the buffer is left as it was. The caller
 * frees *pixels, also after a failure. */
RGB_API int rgb_reader_next_grow(rgb_reader* reader, unsigned char** pixels, size_t* capacity,
                         int flags, rgb_frame_info* info);
/* Bytes of a frame header in the stream. */
#define RGB_HEADER_BYTES 512

/* Judges the frame header in the first RGB_HEADER_BYTES of `bytes`, as the
 * readers judge every header, without reading, printing or allocating: for
 * looking for frames in damaged data. RGB_OK with *info filled in (index
 * 0) and, when stream_bytes is not null, the bytes the whole frame takes in
 * the stream (header, planes, alpha included); RGB_ESHORTHEADER when size is
 * below RGB_HEADER_BYTES; else the status of the first check that fails
 * (RGB_EMAGIC .. RGB_EPLANES), *info then unspecified. Any bytes are safe
 * to pass. */
RGB_API int rgb_header_parse(const void* bytes, size_t size, rgb_frame_info* info,
                             uint64_t* stream_bytes);
/* The last failure of this reader in words, with what was found: for
 * example "frame 3: ERROR: image has wrong magic number: 55809. not an
 * IRIS/RGB file." Empty before any failure; valid until the next call on the
 * reader. */
RGB_API const char* rgb_reader_message(const rgb_reader* reader);
RGB_API void rgb_reader_close(rgb_reader* reader);

typedef struct rgb_writer rgb_writer;

/* Opens path for appending, creating it (mode 0666 less the umask). A
 * regular file is also opened for reading where the caller may read it, to
 * judge whether each append continues its stream; one the caller may only
 * write is appended to unjudged. On failure *writer is set to NULL (when
 * writer itself is not null). */
RGB_API int rgb_writer_open(rgb_writer** writer, const char* path);
/* Writes to a stream the caller opened and keeps open (flushed after every
 * frame, never closed by the library). On failure *writer is set to NULL. */
RGB_API int rgb_writer_from_file(rgb_writer** writer, FILE* stream);
/* Appends one RGB frame from interleaved pixels (width * height * 3 bytes,
 * row 0 first, or the top row first with RGB_TOP_ROW_FIRST), or with
 * RGB_PLANAR from its red, green and blue planes one after another (the
 * same size; without RGB_TOP_ROW_FIRST that is the frame as stored, written
 * from the caller's buffer with no copy). Sides must be
 * 0 .. 65,535. On a file opened by path the append must continue the
 * stream: a frame of another size than the file's frames is refused with
 * RGB_ESIZECHANGE, a file that does not begin with a valid header with that
 * header's status, and a file that ends inside a frame with RGB_ETRUNCATED
 * unless flags hold RGB_CUT_PARTIAL; nothing is written then. A failed
 * frame is undone (see "Appending to files" above). */
RGB_API int rgb_writer_put(rgb_writer* writer, const unsigned char* pixels, int width, int height,
                   int32_t stamp, int flags);
/* Appends `frames` frames of one size (interleaved, one after another in
 * pixels, with stamps[n] for frame n) as one append: on a file opened by
 * path, a failure undoes all of them. The same checks as rgb_writer_put,
 * made once before the first frame; RGB_ETOOLARGE when the frames' bytes
 * do not fit in size_t. 0 frames write nothing (stamps may then be NULL);
 * on a borrowed stream the frames before a failing one stay written. */
RGB_API int rgb_writer_put_frames(rgb_writer* writer, const unsigned char* pixels, int width,
                          int height, int64_t frames, const int32_t* stamps, int flags);
/* Flushes and closes (or, for a borrowed stream, flushes) and frees the
 * writer, also on failure; RGB_EIO when that flush or close failed. */
RGB_API int rgb_writer_close(rgb_writer* writer);

/* The classic functions' messages go to handler instead of being printed:
 * each message once, byte for byte as it would have been printed (final
 * newline included), with the stream (stdout or stderr) it would have gone
 * to. A null handler restores printing. The handler applies to every thread;
 * it may be called from any thread that calls a classic function. */
typedef void (*rgb_message_handler)(void* user, FILE* stream, const char* message);
RGB_API void rgb_set_message_handler(rgb_message_handler handler, void* user);

/* ---- classic functions --------------------------------------------------- */

/* ---- header, byte order and clock ---- */

/* Reads and validates one header; 1 if accepted, 0 otherwise. */
RGB_API int readRGBHeader(FILE* stream, RGBHeader* header);
/* Writes the 512 bytes of a header already in stream byte order. */
RGB_API int writeRGBHeader(FILE* stream, const RGBHeader* header);

RGB_API void swap_ushort(uint16_t* value); /* 0x1122 -> 0x2211 */
RGB_API void swap_uint(uint32_t* value);   /* 0x11223344 -> 0x22114433 */
RGB_API void swap_uuint(uint32_t* value);  /* 0x11223344 -> 0x44332211 */

/* Milliseconds within the current 10,000-second cycle (0 .. 9,999,999). */
RGB_API int get_time(void);
/* a - b, with no correction for the wrap of the cycle. */
RGB_API int diff_time(int a, int b);

/* ---- readers ----
 * images and times point to the caller's pointer variables: a null pointer
 * asks the reader to allocate (caller frees), a non-null one is filled in
 * place (caller guarantees frames * width * height * 3 bytes, or frames
 * entries). width and height receive the frames' size.
 *
 * A pipe consumer passes the buffers of its first call back on later calls.
 * LIMIT: these readers cannot know the size of a buffer passed back and
 * fill it with a frame of the size its header declares, so a producer that
 * sends a larger frame than before overruns the consumer's buffer. Where the
 * producer is not trusted, read with the handle API (rgb_reader_next takes
 * the buffer's capacity); otherwise give these readers buffers for the
 * largest frame the producer may send, or free and pass null pointers on
 * every call. */

RGB_API int readRGBTimeStream(FILE* stream, unsigned char** images, int* width,
                      int* height, int frames, int** times);
RGB_API int readRGBTimePipe(FILE* stream, unsigned char** images, int* width,
                    int* height, int** times);
RGB_API int readRGBPipe(FILE* stream, unsigned char** images, int* width, int* height);
/* Whole frames in a seekable stream, which is rewound; 0 on failure, also
 * (with a message) when there are more than INT_MAX of them. */
RGB_API int getRGBNoOfFrames(FILE* stream);
RGB_API int readRGBTimeFile(const char* path, unsigned char** images, int* width,
                    int* height, int** times);
RGB_API int readRGBFile(const char* path, unsigned char** images, int* width,
                int* height);
RGB_API FILE* openRGBReadPipe(const char* path);

/* ---- writers ----
 * Frames are written with ZSIZE 3; width and height must be 0 .. 65,535.
 * The file writers append, so repeated calls grow one stream; they append
 * only what continues the stream in the file (see rgb_writer_put): frames
 * of another size than the file's, a file that ends inside a frame, or one
 * that does not begin with a valid header are refused with one line
 * ("ERROR: cannot append to RGB image file PATH: ...") and 0, and nothing is
 * written. Appending anyway would leave every later frame unreadable. */

RGB_API int writeRGBTimeStream(FILE* stream, const unsigned char* images, int width,
                       int height, int frames, const int* times);
RGB_API int writeRGBTimePipe(FILE* stream, const unsigned char* images, int width,
                     int height, const int* times);
RGB_API int writeRGBPipe(FILE* stream, const unsigned char* images, int width,
                 int height);
RGB_API int writeRGBTimeFile(const char* path, const unsigned char* images, int width,
                     int height, int frames, const int* times);
RGB_API int writeRGBFile(const char* path, const unsigned char* images, int width,
                 int height, int frames);
RGB_API FILE* openRGBWritePipe(const char* path);

#ifdef __cplusplus
}
#endif

#endif /* RGB_RGB_H */
