// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The writing half of the extension: a library writer handle that appends
// numpy frames as one append each call, undone as a whole on failure.
#ifndef RGBSTREAM_WRITER_H
#define RGBSTREAM_WRITER_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "rgb/rgb.h"

namespace rgbstream {

namespace py = pybind11;

class Writer {
 public:
  explicit Writer(std::string path);
  ~Writer() {
    if (writer_) rgb_writer_close(writer_);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Appends images (F, H, W, 3), checked and made C-contiguous by the
  // caller, with stamps (F int32), or the library's clock now for every
  // frame when stamps is None. All frames go in or none: returns F, or
  // raises with nothing appended. With cutPartial, a partial frame at the
  // end of the file (an interrupted append) is cut first instead of the
  // append being refused.
  int64_t put(const py::array_t<uint8_t, py::array::c_style>& images, const py::object& stamps,
              bool cutPartial);
  void close();
  bool closed() const { return writer_ == nullptr; }

 private:
  [[noreturn]] void fail(int status, int savedErrno, int64_t frames, int width, int height);

  std::string path_;
  rgb_writer* writer_ = nullptr;
  std::mutex mutex_;
};

}  // namespace rgbstream

#endif  // RGBSTREAM_WRITER_H
