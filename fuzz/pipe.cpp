// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Arbitrary bytes as a pipe: the one-frame readers called again and again on
// one stream with the buffers of the first call passed back, until a call
// fails, alternating the stamped and the plain reader.
#include "fuzz/fuzz_support.h"
#include "rgb/rgb.h"

namespace {

using rgbfuzz::Buffers;

// The library cannot know how big a buffer passed back is, so a caller must
// not pass back a buffer smaller than the next frame: it starts afresh when
// the next frame is larger, as a careful consumer would.
bool nextFrameFits(const uint8_t* data, std::size_t size, uint64_t capacityPixels) {
  const rgbfuzz::Peek next = rgbfuzz::peekHeader(data, size);
  return !next.valid || uint64_t{next.width} * next.height <= capacityPixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const rgbfuzz::InputStream stream(data, size);
  Buffers buffers;
  uint64_t capacityPixels = 0;
  // Every successful call consumes at least one header.
  const std::size_t maxCalls = size / rgbfuzz::kHeaderBytes + 1;
  for (std::size_t call = 0; call < maxCalls; ++call) {
    const long position = std::ftell(stream.get());
    RGBFUZZ_CHECK(position >= 0);
    const uint8_t* rest = data + position;
    const std::size_t left = size - static_cast<std::size_t>(position);
    // The later calls would only spin through rows without pixels.
    if (rgbfuzz::peekHeader(rest, left).tooManyEmptyRows(1)) break;
    if (buffers.images && !nextFrameFits(rest, left, capacityPixels)) buffers.release();
    const bool fresh = buffers.images == nullptr;
    int width = -1;
    int height = -1;
    const bool timed = call % 3 != 2;
    const int got = timed ? readRGBTimePipe(stream.get(), &buffers.images, &width, &height,
                                            &buffers.times)
                          : readRGBPipe(stream.get(), &buffers.images, &width, &height);
    const bool complete = rgbfuzz::completeFrames(rest, left, 1) == 1;
    RGBFUZZ_CHECK(got == (complete ? 1 : 0));
    if (!got) break;
    const rgbfuzz::Peek frame = rgbfuzz::peekHeader(rest, left);
    RGBFUZZ_CHECK(width == frame.width && height == frame.height);
    RGBFUZZ_CHECK(std::ftell(stream.get()) == position + static_cast<long>(frame.frameBytes()));
    if (fresh) capacityPixels = uint64_t{frame.width} * frame.height;
    rgbfuzz::checkFrames(rest, buffers.images, timed ? buffers.times : nullptr, 1);
  }
  return 0;
}
