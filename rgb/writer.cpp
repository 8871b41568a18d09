#include <cstdio>

#include "rgb/buffers.h"
#include "rgb/header.h"
#include "rgb/rgb.h"

namespace {

// The inverse of the reader's scatter: one channel of a row of interleaved
// pixels becomes one scanline of a plane.
void gather(const unsigned char* in, std::size_t width, unsigned char* scanline) {
  for (std::size_t k = 0; k < width; ++k) scanline[k] = in[rgb::kChannels * k];
}

void reportPixelWriteFailure(FILE* stream, int n) {
  std::fprintf(stderr,
               std::feof(stream) ? "eof during writing RGB image no. %d.\n"
                                 : "error during writing RGB image no. %d.\n",
               n);
}

void reportLostWrite(int frames) {
  std::fprintf(stderr, "error during writing RGB image no. %d.\n", frames > 0 ? frames - 1 : 0);
}

bool writePixels(FILE* stream, const unsigned char* images, std::size_t width,
                 std::size_t height, int n, unsigned char* scanline) {
  for (std::size_t c = 0; c < rgb::kChannels; ++c) {
    for (std::size_t r = 0; r < height; ++r) {
      gather(images + rgb::rowOffset(static_cast<std::size_t>(n), r, width, height) + c, width,
             scanline);
      if (fwrite_unlocked(scanline, 1, width, stream) < width) {
        reportPixelWriteFailure(stream, n);
        return false;
      }
    }
  }
  return true;
}

// The file writers append to path; a close that fails (the final flush did
// not reach the disk) turns a success into a failure.
int writeFrames(const char* path, const unsigned char* images, int width, int height,
                int frames, const int* times) {
  rgb::OwnedFile file(path, "ab");
  if (!file.get()) {
    std::fprintf(stderr, "unable to open RGB image file %s for writing.\n", path);
    return 0;
  }
  const int result = writeRGBTimeStream(file.get(), images, width, height, frames, times);
  if (!file.close() && result != 0) {
    reportLostWrite(frames);
    return 0;
  }
  return result;
}

}  // namespace

extern "C" {

int writeRGBTimeStream(FILE* stream, const unsigned char* images, int width, int height,
                       int frames, const int* times) {
  if (!times) {
    std::fprintf(stderr, "no memory for time vector.\n");
    return 0;
  }
  if (!images) {
    std::fprintf(stderr, "no memory for RGB image(s).\n");
    return 0;
  }
  // XSIZE and YSIZE are 16-bit: a larger side would give a header that
  // disagrees with the pixel data after it.
  if (width < 0 || height < 0 || width > rgb::kMaxSide || height > rgb::kMaxSide) {
    std::fprintf(stderr, "ERROR: image size %dx%d cannot be stored in an RGB header (0 to %d).\n",
                 width, height, rgb::kMaxSide);
    return 0;
  }
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  rgb::Malloced<unsigned char> scanline(static_cast<unsigned char*>(rgb::allocate(w)));
  if (!scanline) {
    std::fprintf(stderr, "no memory for scanline.\n");
    return 0;
  }
  const rgb::StreamLock lock(stream);
  RGBHeader header = rgb::streamHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
  for (int n = 0; n < frames; ++n) {
    rgb::setStreamTimestamp(&header, times[n]);
    if (!writeRGBHeader(stream, &header)) {
      std::printf("error writing header of frame no %d.\n", n);
      return 0;
    }
    if (!writePixels(stream, images, w, h, n, scanline.get())) return 0;
  }
  if (std::fflush(stream) != 0) {
    reportLostWrite(frames);
    return 0;
  }
  return frames;
}

int writeRGBTimePipe(FILE* stream, const unsigned char* images, int width, int height,
                     const int* times) {
  return writeRGBTimeStream(stream, images, width, height, 1, times);
}

int writeRGBPipe(FILE* stream, const unsigned char* images, int width, int height) {
  const int stamp = get_time();
  return writeRGBTimeStream(stream, images, width, height, 1, &stamp);
}

int writeRGBTimeFile(const char* path, const unsigned char* images, int width, int height,
                     int frames, const int* times) {
  return writeFrames(path, images, width, height, frames, times);
}

int writeRGBFile(const char* path, const unsigned char* images, int width, int height,
                 int frames) {
  const std::size_t entries = frames > 0 ? static_cast<std::size_t>(frames) : 0;
  rgb::Malloced<int> times(static_cast<int*>(rgb::allocate(entries * sizeof(int))));
  if (!times) {
    std::fprintf(stderr, "no memory for time vector.\n");
    return 0;
  }
  for (std::size_t n = 0; n < entries; ++n) times.get()[n] = get_time();
  return writeFrames(path, images, width, height, frames, times.get());
}

FILE* openRGBWritePipe(const char* path) {
  FILE* stream = std::fopen(path, "ab");
  if (!stream) std::fprintf(stderr, "unable to open RGB images pipe %s for writing.\n", path);
  return stream;
}

}  // extern "C"
