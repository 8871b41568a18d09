// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Arbitrary bytes as a frame stream: the header reader, then the stream
// reader for several frame counts, once allocating its own buffers and once
// filling buffers the caller sized from the first header. The counts are
// chosen around the number of complete frames in the input, where the
// reader's answer changes: one frame, all complete frames, one more (it fails
// at the first incomplete frame) and two more (it also leaves the frame after
// the failing one alone). Any other count repeats one of these cases. Then
// the handle reader, looking at each header before it reads the frame into
// a buffer it grows.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "rgb/rgb.h"

namespace {

using rgbfuzz::Buffers;
using rgbfuzz::InputStream;

// Complete frames looked for in an input.
constexpr int kMaxCompleteFrames = 5;
// Caller buffers are allocated at the size the caller promises and partly
// filled with a sentinel; larger ones than this would cost time for frames
// that cannot be in a fuzz input anyway (and the fuzz build refuses larger
// allocations, see allocation_ceiling.cpp).
constexpr std::size_t kCallerBufferLimit = std::size_t{64} << 10;
// Reads of several frames that the library allocates for are tried up to
// this declared size.
constexpr std::size_t kAllocatingLimit = std::size_t{4} << 20;
constexpr unsigned char kSentinel = 0xA5;
constexpr int kStampSentinel = -12345;

void checkHeaderReader(const uint8_t* data, std::size_t size, FILE* stream) {
  std::rewind(stream);
  RGBHeader header;
  std::memset(&header, 0, sizeof header);
  const int accepted = readRGBHeader(stream, &header);
  const rgbfuzz::Peek peek = rgbfuzz::peekHeader(data, size);
  RGBFUZZ_CHECK(accepted == (peek.valid ? 1 : 0));
  // It consumes what it could read, at most one header.
  RGBFUZZ_CHECK(static_cast<std::size_t>(std::ftell(stream)) ==
                (size < rgbfuzz::kHeaderBytes ? size : rgbfuzz::kHeaderBytes));
  if (peek.complete) {
    RGBFUZZ_CHECK(header.XSIZE == peek.width && header.YSIZE == peek.height &&
                  header.ZSIZE == peek.planes && header.TIMESTAMP == peek.stamp);
  }
  // The in-memory judgement agrees with the reader's, on the same bytes.
  rgb_frame_info info{};
  uint64_t frameBytes = 0;
  const int parsed = rgb_header_parse(data, size, &info, &frameBytes);
  RGBFUZZ_CHECK((parsed == RGB_OK) == peek.valid);
  if (parsed == RGB_OK) {
    RGBFUZZ_CHECK(info.width == peek.width && info.height == peek.height &&
                  info.planes == peek.planes && info.stamp == peek.stamp);
    RGBFUZZ_CHECK(frameBytes == peek.frameBytes());
  }
}

// A count of zero or less is returned as it is and reads nothing.
void checkNothingRequested(FILE* stream) {
  std::rewind(stream);
  for (const int frames : {0, -1}) {
    Buffers buffers;
    int width = -7;
    int height = -7;
    RGBFUZZ_CHECK(readRGBTimeStream(stream, &buffers.images, &width, &height, frames,
                                    &buffers.times) == frames);
    RGBFUZZ_CHECK(std::ftell(stream) == 0);
    RGBFUZZ_CHECK(!buffers.images && !buffers.times && width == -7 && height == -7);
  }
}

void checkAllocating(const uint8_t* data, std::size_t size, FILE* stream, int frames) {
  // Large buffers cost the sanitizer milliseconds each; the single-frame
  // read still meets every declared size, the longer reads only small ones.
  std::size_t declared = 0;
  const rgbfuzz::Peek first = rgbfuzz::peekHeader(data, size);
  if (frames > 1 && !rgbfuzz::imageBytes(first, frames, kAllocatingLimit, &declared)) return;
  if (first.tooManyEmptyRows(frames)) return;
  std::rewind(stream);
  Buffers buffers;
  int width = -1;
  int height = -1;
  const int got = readRGBTimeStream(stream, &buffers.images, &width, &height, frames,
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

void checkCallerBuffers(const uint8_t* data, std::size_t size, FILE* stream, int frames) {
  const rgbfuzz::Peek first = rgbfuzz::peekHeader(data, size);
  std::size_t bytes = 0;
  if (!first.valid || !rgbfuzz::imageBytes(first, frames, kCallerBufferLimit, &bytes)) return;
  if (first.tooManyEmptyRows(frames)) return;
  const int complete = rgbfuzz::completeFrames(data, size, frames);
  const std::size_t frameImage = bytes / static_cast<std::size_t>(frames);
  // Only the frames after the failing one must stay untouched, so only they
  // get the sentinel.
  const std::size_t untouched =
      std::min(bytes, static_cast<std::size_t>(complete + 1) * frameImage);
  Buffers buffers;
  // Exactly the size the caller promises, so any write past it is caught.
  buffers.images = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
  buffers.times = static_cast<int*>(std::malloc(static_cast<std::size_t>(frames) * sizeof(int)));
  RGBFUZZ_CHECK(buffers.images && buffers.times);
  std::memset(buffers.images + untouched, kSentinel, bytes - untouched);
  for (int n = 0; n < frames; ++n) buffers.times[n] = kStampSentinel;
  unsigned char* const images = buffers.images;
  int* const times = buffers.times;

  std::rewind(stream);
  int width = -1;
  int height = -1;
  const int got = readRGBTimeStream(stream, &buffers.images, &width, &height, frames,
                                    &buffers.times);
  RGBFUZZ_CHECK(buffers.images == images && buffers.times == times);
  RGBFUZZ_CHECK(got == (complete == frames ? frames : 0));
  rgbfuzz::checkFrames(data, images, times, complete);
  // Frames after the failing one are never touched.
  RGBFUZZ_CHECK(rgbfuzz::allBytesAre(images + untouched, bytes - untouched, kSentinel));
  for (int n = complete + 1; n < frames; ++n) RGBFUZZ_CHECK(times[n] == kStampSentinel);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // One stream for all calls, rewound before each: opening one per call cost
  // more than most of the calls.
  const InputStream stream(data, size);
  checkNothingRequested(stream.get());
  checkHeaderReader(data, size, stream.get());
  const int complete = rgbfuzz::completeFrames(data, size, kMaxCompleteFrames);
  int previous = 0;
  for (const int frames : {1, complete, complete + 1, complete + 2}) {
    if (frames <= previous) continue;
    previous = frames;
    checkAllocating(data, size, stream.get(), frames);
    checkCallerBuffers(data, size, stream.get(), frames);
  }
  // The handle reader on the same stream, which cannot tell its length:
  // the bytes of each frame are gathered as they come.
  std::rewind(stream.get());
  rgb_reader* reader = nullptr;
  RGBFUZZ_CHECK(rgb_reader_from_file(&reader, stream.get()) == RGB_OK);
  rgbfuzz::checkGrowingReader(data, size, reader, false);
  rgb_reader_close(reader);
  return 0;
}
