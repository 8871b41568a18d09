// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Memory for the numpy arrays the extension hands out, and the buffers the
// library grows for it.
#ifndef RGBSTREAM_ARRAYS_H
#define RGBSTREAM_ARRAYS_H

#include <pybind11/numpy.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace rgbstream {

namespace py = pybind11;

// A uint8 array over memory of its own: a block of a released array when
// one of about its size is kept (see buffer_cache.h), else memory nobody
// has written yet; *fresh, when given, tells which (fill fresh memory with
// the library's RGB_FRESH_BUFFER hint).
py::array_t<uint8_t> newArray(std::vector<py::ssize_t> shape, bool* fresh = nullptr);

// A buffer that rgb_reader_next_grow sizes; freed unless handed on.
class GrowBuffer {
 public:
  GrowBuffer() = default;
  ~GrowBuffer() { std::free(data_); }
  GrowBuffer(const GrowBuffer&) = delete;
  GrowBuffer& operator=(const GrowBuffer&) = delete;

  unsigned char** data() { return &data_; }
  std::size_t* capacity() { return &capacity_; }
  const unsigned char* bytes() const { return data_; }
  // The buffer as an array of `shape` that frees it when numpy is done
  // with it; this buffer starts empty again.
  py::array_t<uint8_t> handOver(std::vector<py::ssize_t> shape);

 private:
  unsigned char* data_ = nullptr;
  std::size_t capacity_ = 0;
};

std::size_t pixelsOf(int width, int height, int channels);

// Planar RGB or RGBA, top row first, to interleaved RGBA; alpha is opaque
// where the stream has none.
void interleaveRgba(const unsigned char* planes, int planeCount, std::size_t pixels,
                    unsigned char* out);

}  // namespace rgbstream

#endif  // RGBSTREAM_ARRAYS_H
