// Arbitrary bytes as a frame stream: the header reader, then the stream
// reader for several frame counts, once allocating its own buffers and once
// filling buffers the caller sized from the first header.
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "rgb/rgb.h"

namespace {

using rgbfuzz::Buffers;
using rgbfuzz::InputStream;

constexpr int kFrameCounts[] = {1, 2, 3, 5};
// Caller buffers are filled with a sentinel and checked byte by byte; larger
// ones than this would slow the fuzzer down for frames that cannot be in a
// fuzz input anyway.
constexpr std::size_t kCallerBufferLimit = std::size_t{1} << 20;
// Reads of several frames that the library allocates for are tried up to
// this declared size.
constexpr std::size_t kAllocatingLimit = std::size_t{4} << 20;
constexpr unsigned char kSentinel = 0xA5;
constexpr int kStampSentinel = -12345;

void checkHeaderReader(const uint8_t* data, std::size_t size) {
  const InputStream stream(data, size);
  RGBHeader header;
  std::memset(&header, 0, sizeof header);
  const int accepted = readRGBHeader(stream.get(), &header);
  const rgbfuzz::Peek peek = rgbfuzz::peekHeader(data, size);
  RGBFUZZ_CHECK(accepted == (peek.valid ? 1 : 0));
  // It consumes what it could read, at most one header.
  RGBFUZZ_CHECK(static_cast<std::size_t>(std::ftell(stream.get())) ==
                (size < rgbfuzz::kHeaderBytes ? size : rgbfuzz::kHeaderBytes));
  if (peek.complete) {
    RGBFUZZ_CHECK(header.XSIZE == peek.width && header.YSIZE == peek.height &&
                  header.ZSIZE == peek.planes && header.TIMESTAMP == peek.stamp);
  }
}

// A count of zero or less is returned as it is and reads nothing.
void checkNothingRequested(const uint8_t* data, std::size_t size, int frames) {
  const InputStream stream(data, size);
  Buffers buffers;
  int width = -7;
  int height = -7;
  RGBFUZZ_CHECK(readRGBTimeStream(stream.get(), &buffers.images, &width, &height, frames,
                                  &buffers.times) == frames);
  RGBFUZZ_CHECK(std::ftell(stream.get()) == 0);
  RGBFUZZ_CHECK(!buffers.images && !buffers.times && width == -7 && height == -7);
}

void checkAllocating(const uint8_t* data, std::size_t size, int frames) {
  // Large buffers cost the sanitizer milliseconds each; the single-frame
  // read still meets every declared size, the longer reads only small ones.
  std::size_t declared = 0;
  const rgbfuzz::Peek first = rgbfuzz::peekHeader(data, size);
  if (frames > 1 && !rgbfuzz::imageBytes(first, frames, kAllocatingLimit, &declared)) return;
  const InputStream stream(data, size);
  Buffers buffers;
  int width = -1;
  int height = -1;
  const int got = readRGBTimeStream(stream.get(), &buffers.images, &width, &height, frames,
                                    &buffers.times);
  const int complete = rgbfuzz::completeFrames(data, size, frames);
  RGBFUZZ_CHECK(got == (complete == frames ? frames : 0));
  if (complete > 0) {
    // Complete frames are in the input, so their buffer is small and its
    // allocation cannot have failed.
    RGBFUZZ_CHECK(buffers.images && buffers.times);
    RGBFUZZ_CHECK(width == first.width && height == first.height);
    rgbfuzz::checkFrames(data, buffers.images, buffers.times, complete);
  }
}

void checkCallerBuffers(const uint8_t* data, std::size_t size, int frames) {
  const rgbfuzz::Peek first = rgbfuzz::peekHeader(data, size);
  std::size_t bytes = 0;
  if (!first.valid || !rgbfuzz::imageBytes(first, frames, kCallerBufferLimit, &bytes)) return;
  Buffers buffers;
  // Exactly the size the caller promises, so any write past it is caught.
  buffers.images = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
  buffers.times = static_cast<int*>(std::malloc(static_cast<std::size_t>(frames) * sizeof(int)));
  RGBFUZZ_CHECK(buffers.images && buffers.times);
  std::memset(buffers.images, kSentinel, bytes);
  for (int n = 0; n < frames; ++n) buffers.times[n] = kStampSentinel;
  unsigned char* const images = buffers.images;
  int* const times = buffers.times;

  const InputStream stream(data, size);
  int width = -1;
  int height = -1;
  const int got = readRGBTimeStream(stream.get(), &buffers.images, &width, &height, frames,
                                    &buffers.times);
  RGBFUZZ_CHECK(buffers.images == images && buffers.times == times);
  const int complete = rgbfuzz::completeFrames(data, size, frames);
  RGBFUZZ_CHECK(got == (complete == frames ? frames : 0));
  rgbfuzz::checkFrames(data, images, times, complete);
  // Frames after the failing one are never touched.
  const std::size_t frameImage = bytes / static_cast<std::size_t>(frames);
  for (std::size_t i = static_cast<std::size_t>(complete + 1) * frameImage; i < bytes; ++i)
    RGBFUZZ_CHECK(images[i] == kSentinel);
  for (int n = complete + 1; n < frames; ++n) RGBFUZZ_CHECK(times[n] == kStampSentinel);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  checkHeaderReader(data, size);
  checkNothingRequested(data, size, 0);
  checkNothingRequested(data, size, -1);
  for (const int frames : kFrameCounts) {
    checkAllocating(data, size, frames);
    checkCallerBuffers(data, size, frames);
  }
  return 0;
}
