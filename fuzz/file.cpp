// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Arbitrary bytes as a frame file: counted with getRGBNoOfFrames, then that
// many frames read from the rewound stream, as the file readers do; then the
// file readers themselves on the same bytes through a real path, and the
// handle reader on that path.
#include <climits>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "rgb/rgb.h"

namespace {

using rgbfuzz::Buffers;

// Whole frames of the first frame's size, whatever the later headers say.
int expectedCount(const uint8_t* data, std::size_t size) {
  const rgbfuzz::Peek first = rgbfuzz::peekHeader(data, size);
  if (!first.valid) return 0;
  const uint64_t frames = size / first.frameBytes();
  return frames > INT_MAX ? INT_MAX : static_cast<int>(frames);
}

struct Loaded {
  int frames = 0;
  int width = -1;
  int height = -1;
  Buffers buffers;
};

// Count, rewind, read: the way the file readers load a stream. False when
// the frames are too many rows without pixels to be worth reading.
bool loadStream(const uint8_t* data, std::size_t size, Loaded* loaded) {
  const rgbfuzz::InputStream stream(data, size);
  const int count = getRGBNoOfFrames(stream.get());
  RGBFUZZ_CHECK(count == expectedCount(data, size));
  const rgbfuzz::Peek first = rgbfuzz::peekHeader(data, size);
  if (first.valid) RGBFUZZ_CHECK(std::ftell(stream.get()) == 0);
  if (count == 0) return true;
  // Read here and by both file readers.
  if (first.tooManyEmptyRows(3 * count)) return false;
  loaded->frames = readRGBTimeStream(stream.get(), &loaded->buffers.images, &loaded->width,
                                     &loaded->height, count, &loaded->buffers.times);
  const int complete = rgbfuzz::completeFrames(data, size, count);
  RGBFUZZ_CHECK(loaded->frames == (complete == count ? count : 0));
  RGBFUZZ_CHECK(loaded->buffers.images && loaded->buffers.times);
  rgbfuzz::checkFrames(data, loaded->buffers.images, loaded->buffers.times, complete);
  return true;
}

void checkFileReaders(const uint8_t* data, std::size_t size, const Loaded& expected) {
  const rgbfuzz::InputFile file(data, size);
  Loaded timed;
  timed.frames = readRGBTimeFile(file.path(), &timed.buffers.images, &timed.width,
                                 &timed.height, &timed.buffers.times);
  RGBFUZZ_CHECK(timed.frames == expected.frames);

  Loaded plain;
  plain.frames = readRGBFile(file.path(), &plain.buffers.images, &plain.width, &plain.height);
  RGBFUZZ_CHECK(plain.frames == expected.frames);
  if (expected.frames == 0) {
    // Nothing counted means nothing allocated.
    if (expectedCount(data, size) == 0) RGBFUZZ_CHECK(!timed.buffers.images && !plain.buffers.images);
    return;
  }
  const std::size_t bytes = static_cast<std::size_t>(expected.frames) *
                            static_cast<std::size_t>(expected.width) *
                            static_cast<std::size_t>(expected.height) * 3;
  RGBFUZZ_CHECK(timed.width == expected.width && timed.height == expected.height);
  RGBFUZZ_CHECK(plain.width == expected.width && plain.height == expected.height);
  RGBFUZZ_CHECK(std::memcmp(timed.buffers.images, expected.buffers.images, bytes) == 0);
  RGBFUZZ_CHECK(std::memcmp(plain.buffers.images, expected.buffers.images, bytes) == 0);
  RGBFUZZ_CHECK(std::memcmp(timed.buffers.times, expected.buffers.times,
                            static_cast<std::size_t>(expected.frames) * sizeof(int)) == 0);
}

// The handle reader by path: a file, whose size says whether a frame is
// all there before the buffer grows for it.
void checkHandleReader(const uint8_t* data, std::size_t size) {
  const rgbfuzz::InputFile file(data, size);
  rgb_reader* reader = nullptr;
  RGBFUZZ_CHECK(rgb_reader_open(&reader, file.path()) == RGB_OK);
  rgbfuzz::checkGrowingReader(data, size, reader, true);
  rgb_reader_close(reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Loaded loaded;
  if (loadStream(data, size, &loaded)) checkFileReaders(data, size, loaded);
  checkHandleReader(data, size);
  return 0;
}
