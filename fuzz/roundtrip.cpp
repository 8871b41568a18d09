// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Whatever reads successfully is written back with the writers and must read
// back identical: pixels, stamps and size, through the stream writer, the
// one-frame pipe writer and the appending file writer alike.
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "rgb/rgb.h"

namespace {

using rgbfuzz::Buffers;

struct Frames {
  int count = 0;
  int width = -1;
  int height = -1;
  Buffers buffers;
  std::size_t imageBytes() const {
    return static_cast<std::size_t>(count) * static_cast<std::size_t>(width) *
           static_cast<std::size_t>(height) * 3;
  }
};

bool load(const uint8_t* data, std::size_t size, Frames* frames) {
  const rgbfuzz::InputStream stream(data, size);
  const int count = getRGBNoOfFrames(stream.get());
  if (count <= 0) return false;
  // Read once here and twice more from the file written back.
  if (rgbfuzz::peekHeader(data, size).tooManyEmptyRows(3 * count)) return false;
  frames->count = readRGBTimeStream(stream.get(), &frames->buffers.images, &frames->width,
                                    &frames->height, count, &frames->buffers.times);
  return frames->count == count;
}

// A growing in-memory output stream; the bytes are valid after close().
class Output {
 public:
  Output() : stream_(open_memstream(&bytes_, &size_)) { RGBFUZZ_CHECK(stream_ != nullptr); }
  ~Output() {
    close();
    std::free(bytes_);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  FILE* get() const { return stream_; }
  void close() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
  }
  const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(bytes_); }
  std::size_t size() const { return size_; }

 private:
  char* bytes_ = nullptr;
  std::size_t size_ = 0;
  FILE* stream_;
};

void checkSame(const Frames& a, const Frames& b) {
  RGBFUZZ_CHECK(a.count == b.count && a.width == b.width && a.height == b.height);
  RGBFUZZ_CHECK(std::memcmp(a.buffers.images, b.buffers.images, a.imageBytes()) == 0);
  RGBFUZZ_CHECK(std::memcmp(a.buffers.times, b.buffers.times,
                            static_cast<std::size_t>(a.count) * sizeof(int)) == 0);
}

// Written frames are RGB with the first frame's size and the stamps given.
void checkWritten(const Frames& original, const uint8_t* data, std::size_t size) {
  const uint64_t frameBytes = rgbfuzz::kHeaderBytes + uint64_t{3} *
                                                          static_cast<uint64_t>(original.width) *
                                                          static_cast<uint64_t>(original.height);
  RGBFUZZ_CHECK(size == frameBytes * static_cast<uint64_t>(original.count));
  Frames back;
  RGBFUZZ_CHECK(load(data, size, &back));
  checkSame(original, back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Frames original;
  if (!load(data, size, &original)) return 0;

  Output stream;
  RGBFUZZ_CHECK(writeRGBTimeStream(stream.get(), original.buffers.images, original.width,
                                   original.height, original.count,
                                   original.buffers.times) == original.count);
  stream.close();
  checkWritten(original, stream.data(), stream.size());

  // Frame by frame through the pipe writer: the same bytes.
  Output pipe;
  const std::size_t frameImage = original.imageBytes() / static_cast<std::size_t>(original.count);
  for (int n = 0; n < original.count; ++n)
    RGBFUZZ_CHECK(writeRGBTimePipe(pipe.get(),
                                   original.buffers.images + static_cast<std::size_t>(n) * frameImage,
                                   original.width, original.height,
                                   original.buffers.times + n) == 1);
  pipe.close();
  RGBFUZZ_CHECK(pipe.size() == stream.size() &&
                std::memcmp(pipe.data(), stream.data(), stream.size()) == 0);

  // Appended twice to a file: the same bytes twice.
  const rgbfuzz::InputFile file(nullptr, 0);
  for (int round = 0; round < 2; ++round)
    RGBFUZZ_CHECK(writeRGBTimeFile(file.path(), original.buffers.images, original.width,
                                   original.height, original.count,
                                   original.buffers.times) == original.count);
  Frames twice;
  RGBFUZZ_CHECK(readRGBTimeFile(file.path(), &twice.buffers.images, &twice.width,
                                &twice.height, &twice.buffers.times) == 2 * original.count);
  RGBFUZZ_CHECK(std::memcmp(twice.buffers.images, original.buffers.images,
                            original.imageBytes()) == 0);
  RGBFUZZ_CHECK(std::memcmp(twice.buffers.images + original.imageBytes(),
                            original.buffers.images, original.imageBytes()) == 0);
  return 0;
}
