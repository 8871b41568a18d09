// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "arrays.h"

#include <sys/mman.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "buffer_cache.h"

namespace rgbstream {
namespace {

// Large arrays are mapped here rather than taken from numpy: numpy asks
// for transparent huge pages on large arrays, which on some kernels turns
// page faults into stalls (memory compaction). Filled with
// RGB_FRESH_BUFFER, their pages are provided band by band as the library
// fills them, instead of one fault per 4 KiB page.
constexpr std::size_t kMapThreshold = std::size_t{64} << 20;

void release(void* pointer) {
  const std::unique_ptr<Memory> memory(static_cast<Memory*>(pointer));
  BufferCache::instance().give(*memory);
}

std::size_t bytesOf(const std::vector<py::ssize_t>& shape) {
  std::size_t bytes = 1;
  for (const py::ssize_t side : shape) bytes *= static_cast<std::size_t>(side);
  return bytes;
}

// An array over `memory`, which it owns from here on, also when this
// throws: numpy releases it with the array.
py::array_t<uint8_t> arrayOver(std::vector<py::ssize_t> shape, Memory memory) {
  std::unique_ptr<Memory> owned;
  py::capsule owner;
  try {
    owned = std::make_unique<Memory>(memory);
    owner = py::capsule(owned.get(), release);
  } catch (...) {
    freeMemory(memory);
    throw;
  }
  owned.release();  // the capsule's now
  return py::array_t<uint8_t>(std::move(shape), static_cast<uint8_t*>(memory.address), owner);
}

}  // namespace

py::array_t<uint8_t> newArray(std::vector<py::ssize_t> shape, bool* fresh) {
  const std::size_t bytes = bytesOf(shape);
  const Memory kept = BufferCache::instance().take(bytes);
  if (fresh) *fresh = kept.address == nullptr;
  if (kept.address) return arrayOver(std::move(shape), kept);
  if (bytes >= kMapThreshold) {
    void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) throw std::bad_alloc();
    return arrayOver(std::move(shape), {address, bytes, true});
  }
  void* address = std::malloc(bytes > 0 ? bytes : 1);
  if (!address) throw std::bad_alloc();
  return arrayOver(std::move(shape), {address, bytes, false});
}

py::array_t<uint8_t> GrowBuffer::handOver(std::vector<py::ssize_t> shape) {
  if (!data_) return newArray(std::move(shape));  // a frame of no pixels
  const Memory memory{data_, capacity_, false};
  data_ = nullptr;
  capacity_ = 0;
  return arrayOver(std::move(shape), memory);
}

std::size_t pixelsOf(int width, int height, int channels) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
         static_cast<std::size_t>(channels);
}

void interleaveRgba(const unsigned char* planes, int planeCount, std::size_t pixels,
                    unsigned char* out) {
  for (std::size_t c = 0; c < 4; ++c) {
    if (c == 3 && planeCount < 4) {
      for (std::size_t i = 0; i < pixels; ++i) out[4 * i + 3] = 255;
      continue;
    }
    const unsigned char* plane = planes + c * pixels;
    for (std::size_t i = 0; i < pixels; ++i) out[4 * i + c] = plane[i];
  }
}

}  // namespace rgbstream
