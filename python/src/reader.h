// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The reading half of the extension: a library reader handle, frames and
// stamps into numpy arrays, and where a file's pixels lie for mapping.
//
// Every call into the library runs with the GIL released, so other Python
// threads (and a FIFO's producer in the same process) keep running while a
// frame is read. The handle is guarded by a mutex of its own: two Python
// threads may share a Reader object, the library handle may not be.
#ifndef RGBSTREAM_READER_H
#define RGBSTREAM_READER_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "arrays.h"
#include "rgb/rgb.h"

namespace rgbstream {

namespace py = pybind11;

class Reader {
 public:
  explicit Reader(std::string path);
  ~Reader() { rgb_reader_close(reader_); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  void close();
  bool closed() const { return reader_ == nullptr; }
  bool seekable() const { return seekable_; }

  // (width, height, planes) of the first frame, or None while the stream
  // has no whole first header. On a FIFO this waits for that header.
  py::object info();
  // (whole frames, stray bytes after the last one); TypeError on a FIFO.
  py::tuple count();
  // The stamps of frames start .. stop - 1 of a file, from their headers
  // alone: (F,) int32.
  py::array_t<int32_t> stamps(int64_t start, int64_t stop);
  // Frame `index` of a file (counted by the caller): (image, stamp).
  py::tuple frame(int64_t index, bool alpha);
  // The next frame of a FIFO as (status, image, stamp, index, words). The
  // ends a caller tells apart (RGB_END, and a stream that ends inside a
  // header or a frame) come back as a status with no image and the words
  // that describe them; every other failure raises.
  py::tuple next(bool alpha);
  // Frames start, start + step, ... (count of them) of a file into one
  // (count, H, W, C) array, each read straight into its slice, with their
  // stamps: (images, stamps, None). With `salvage`, a damage ends the read
  // instead of raising: (the frames before it, their stamps, (words,
  // frame)).
  py::tuple readFrames(int64_t start, int64_t count, int64_t step, bool alpha, bool salvage);
  // Where a file's pixels lie, as a view of (frames, planes, rows,
  // columns) wants them, rows top first: (offset of frame 0's top row of
  // plane 0, (frame, plane, row, column) strides, (planes, height, width)).
  py::tuple planarLayout();

 private:
  // A library call's result, with what must be taken before the handle is
  // free for another thread: errno, and the reader's words on a damage.
  struct Outcome {
    int status = RGB_OK;
    int savedErrno = 0;
    int64_t frame = -1;
    std::string message;
  };

  // Runs call(reader) with the GIL released and the handle locked.
  template <typename Call>
  Outcome locked(Call call);
  [[noreturn]] void fail(const Outcome& outcome);
  Outcome firstInfo(rgb_frame_info* first);
  // The first frame's header; raises unless there is one.
  rgb_frame_info firstFrame();
  // The same, or false while the stream has no whole first header.
  bool firstFrameIfAny(rgb_frame_info* first);
  // Reads the next frame, of the first frame's shape, into out (H * W * 3
  // bytes, or H * W * 4 with alpha; `fresh` when nobody wrote it yet).
  // Called inside `locked`.
  int readInto(rgb_reader* reader, unsigned char* out, const rgb_frame_info& first, bool alpha,
               bool fresh, rgb_frame_info* got);
  int seekCounted(rgb_reader* reader, int64_t index, Outcome* outcome);

  std::string path_;
  rgb_reader* reader_ = nullptr;
  bool seekable_ = false;
  std::mutex mutex_;
  GrowBuffer planes_;  // a frame's planes on their way to RGBA
};

}  // namespace rgbstream

#endif  // RGBSTREAM_READER_H
