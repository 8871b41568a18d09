#include <climits>
#include <cstdio>
#include <cstring>

#include "rgb/buffers.h"
#include "rgb/header.h"
#include "rgb/rgb.h"

namespace {

constexpr std::size_t kCountBlock = 64 * 1024;

struct Shape {
  int width;
  int height;
  int planes;
};

Shape shapeOf(const RGBHeader& h) { return {h.XSIZE, h.YSIZE, h.ZSIZE}; }

bool operator!=(const Shape& a, const Shape& b) {
  return a.width != b.width || a.height != b.height || a.planes != b.planes;
}

// Stream planes hold one channel each; the interleaved buffer keeps three
// bytes per pixel, so every byte of a scanline lands three bytes apart.
void scatter(const unsigned char* scanline, std::size_t width, unsigned char* out) {
  for (std::size_t k = 0; k < width; ++k) out[rgb::kChannels * k] = scanline[k];
}

// Buffers sized from the first frame: time vector, image, scanline, in that
// order, each only when the caller did not bring its own.
bool allocateBuffers(const Shape& shape, int frames, unsigned char** images, int** times,
                     rgb::Malloced<unsigned char>* scanline) {
  if (!*times) {
    *times = static_cast<int*>(
        rgb::allocate(static_cast<std::size_t>(frames) * sizeof(int)));
    if (!*times) {
      std::fprintf(stderr, "no memory for time vector.\n");
      return false;
    }
  }
  std::size_t bytes = 0;
  const bool representable = rgb::imageBytes(frames, shape.width, shape.height, &bytes);
  if (!representable || !*images) {
    if (representable) *images = rgb::allocateImage(bytes);
    if (!representable || !*images) {
      std::fprintf(stderr, "no memory for RGB image(s).\n");
      return false;
    }
  }
  scanline->reset(static_cast<unsigned char*>(
      rgb::allocate(static_cast<std::size_t>(shape.width))));
  if (!*scanline) {
    std::fprintf(stderr, "no memory for scanline.\n");
    return false;
  }
  return true;
}

// Reads the planes of frame n scanline by scanline into the interleaved
// buffer; the alpha plane, if any, is read and dropped.
bool readPixels(FILE* stream, const Shape& shape, int n, unsigned char* scanline,
                unsigned char* images) {
  const auto width = static_cast<std::size_t>(shape.width);
  const auto height = static_cast<std::size_t>(shape.height);
  for (std::size_t c = 0; c < static_cast<std::size_t>(shape.planes); ++c) {
    for (std::size_t r = 0; r < height; ++r) {
      if (fread_unlocked(scanline, 1, width, stream) < width) {
        std::fprintf(stderr,
                     std::feof(stream) ? "eof during reading RGB image no %d.\n"
                                       : "error during reading RGB image no %d.\n",
                     n);
        return false;
      }
      if (c < rgb::kChannels)
        scatter(scanline, width,
                images + rgb::rowOffset(static_cast<std::size_t>(n), r, width, height) + c);
    }
  }
  return true;
}

}  // namespace

extern "C" {

int readRGBTimeStream(FILE* stream, unsigned char** images, int* width, int* height, int frames,
                      int** times) {
  if (frames <= 0) return frames;
  const rgb::StreamLock lock(stream);
  rgb::Malloced<unsigned char> scanline;
  Shape first{};
  for (int n = 0; n < frames; ++n) {
    RGBHeader header;
    if (!readRGBHeader(stream, &header)) {
      std::printf("error reading header of frame no %d.\n", n);
      return 0;
    }
    const Shape shape = shapeOf(header);
    // The buffers are sized from the first frame; a frame of another size
    // would not fit them.
    if (n > 0 && shape != first) {
      std::fprintf(stderr, "ERROR: frame no %d is %dx%dx%d, unlike the %dx%dx%d of frame no 0.\n",
                   n, shape.width, shape.height, shape.planes, first.width, first.height,
                   first.planes);
      std::printf("error reading header of frame no %d.\n", n);
      return 0;
    }
    *width = shape.width;
    *height = shape.height;
    if (n == 0) {
      first = shape;
      if (!allocateBuffers(shape, frames, images, times, &scanline)) return 0;
    }
    (*times)[n] = header.TIMESTAMP;
    if (!readPixels(stream, shape, n, scanline.get(), *images)) return 0;
  }
  return frames;
}

int readRGBTimePipe(FILE* stream, unsigned char** images, int* width, int* height, int** times) {
  return readRGBTimeStream(stream, images, width, height, 1, times);
}

int readRGBPipe(FILE* stream, unsigned char** images, int* width, int* height) {
  int* times = nullptr;
  const int result = readRGBTimePipe(stream, images, width, height, &times);
  std::free(times);
  return result;
}

int getRGBNoOfFrames(FILE* stream) {
  const rgb::StreamLock lock(stream);
  RGBHeader header;
  if (!readRGBHeader(stream, &header)) return 0;
  // 64 bits: streams of several GiB are common for long recordings.
  uint64_t total = rgb::kHeaderSize;
  unsigned char block[kCountBlock];
  for (std::size_t got; (got = fread_unlocked(block, 1, sizeof block, stream)) > 0;) total += got;

  const uint64_t frameBytes = rgb::streamFrameBytes(header.XSIZE, header.YSIZE, header.ZSIZE);
  const uint64_t frames = total / frameBytes;
  const uint64_t stray = total % frameBytes;
  if (stray != 0) std::printf("warning: %llu bytes found after last frame.\n",
                              static_cast<unsigned long long>(stray));
  // A stream that cannot be rewound (a pipe) cannot be read after counting.
  if (std::fseek(stream, 0, SEEK_SET) != 0) {
    std::fprintf(stderr, "ERROR: cannot rewind the RGB image stream after counting its frames.\n");
    return 0;
  }
  return frames > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(frames);
}

int readRGBTimeFile(const char* path, unsigned char** images, int* width, int* height,
                    int** times) {
  rgb::OwnedFile file(path, "rb");
  if (!file.get()) {
    std::fprintf(stderr, "unable to open RGB image file %s for reading.\n", path);
    return 0;
  }
  const int frames = getRGBNoOfFrames(file.get());
  if (frames == 0) return 0;
  return readRGBTimeStream(file.get(), images, width, height, frames, times);
}

int readRGBFile(const char* path, unsigned char** images, int* width, int* height) {
  int* times = nullptr;
  const int result = readRGBTimeFile(path, images, width, height, &times);
  std::free(times);
  return result;
}

FILE* openRGBReadPipe(const char* path) {
  FILE* stream = std::fopen(path, "rb");
  if (!stream) std::fprintf(stderr, "unable to open RGB images pipe %s for reading.\n", path);
  return stream;
}

}  // extern "C"
