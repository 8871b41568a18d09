// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// _rgbstream: the compiled half of the rgbstream package. It owns the
// library's handles and moves pixels between streams and numpy arrays;
// argument checking, warnings and the Pythonic surface live in __init__.py.
//
// Every call into the library runs with the GIL released, so other Python
// threads (and a FIFO's producer in the same process) keep running while a
// frame is read or written. A handle is guarded by a mutex of its own: two
// Python threads may share a Reader object, the library handle may not be.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "rgb/rgb.h"

namespace py = pybind11;

namespace {

// Raised (as rgbstream.Error, a ValueError) for streams the library rejects.
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The path as the user spelled it, for messages and OSError.filename.
py::str displayPath(const std::string& path) {
  return py::reinterpret_steal<py::str>(
      PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size())));
}

// Turns a failed status into the matching Python exception. errno is the
// value saved right after the failing call: taking the GIL back may change
// the thread's errno.
[[noreturn]] void raise(int status, int savedErrno, const std::string& path,
                        const std::string& where = {}) {
  const std::string text = std::string(displayPath(path)) + ": " + where + rgb_strerror(status);
  switch (status) {
    case RGB_EOPEN:
    case RGB_EIO: {
      errno = savedErrno != 0 ? savedErrno : EIO;
      PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, displayPath(path).ptr());
      throw py::error_already_set();
    }
    case RGB_ENOMEM: throw std::bad_alloc();
    case RGB_EUNSEEKABLE: throw py::type_error(text);
    case RGB_ERANGE: throw py::index_error(text);
    case RGB_EINVAL: throw py::value_error(text);
    default: throw StreamError(text);
  }
}

std::string frameWhere(int64_t index) { return "frame " + std::to_string(index) + ": "; }

std::size_t pixelsOf(int width, int height, int channels) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
         static_cast<std::size_t>(channels);
}

// Planar RGB or RGBA, top row first, to interleaved RGBA; alpha is opaque
// where the stream has none.
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

// Memory for an array, mapped here rather than taken from numpy: numpy
// asks for transparent huge pages on large arrays, which on some kernels
// turns page faults into stalls (memory compaction). Arrays are filled
// fresh (RGB_FRESH_BUFFER): the library has the kernel provide their pages
// band by band as it fills them, instead of one fault per 4 KiB page.
struct Mapping {
  void* memory;
  std::size_t bytes;
};

constexpr std::size_t kPopulateThreshold = std::size_t{64} << 20;

py::array_t<uint8_t> newArray(std::vector<py::ssize_t> shape) {
  std::size_t bytes = 1;
  for (const py::ssize_t side : shape) bytes *= static_cast<std::size_t>(side);
  void* memory = nullptr;
  if (bytes >= kPopulateThreshold) {
    memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
  } else {
    memory = std::malloc(bytes > 0 ? bytes : 1);
    if (!memory) throw std::bad_alloc();
  }
  auto* mapping = new Mapping{memory, bytes};
  const py::capsule owner(mapping, [](void* p) {
    auto* m = static_cast<Mapping*>(p);
    if (m->bytes >= kPopulateThreshold) munmap(m->memory, m->bytes);
    else std::free(m->memory);
    delete m;
  });
  return py::array_t<uint8_t>(std::move(shape), static_cast<uint8_t*>(memory), owner);
}

class Reader {
 public:
  explicit Reader(std::string path) : path_(std::move(path)) {
    int status = RGB_OK;
    int saved = 0;
    {
      py::gil_scoped_release release;
      errno = 0;
      status = rgb_reader_open(&reader_, path_.c_str());
      saved = errno;
    }
    if (status != RGB_OK) raise(status, saved, path_);
    // A FIFO has no size to count from: that is how the two are told apart.
    int64_t frames = 0;
    seekable_ = rgb_reader_count(reader_, &frames, nullptr) != RGB_EUNSEEKABLE;
  }
  ~Reader() { rgb_reader_close(reader_); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  void close() {
    py::gil_scoped_release release;
    const std::lock_guard<std::mutex> lock(mutex_);
    rgb_reader_close(reader_);
    reader_ = nullptr;
  }

  bool seekable() const { return seekable_; }

  // (width, height, planes) of the first frame, or None for a stream with
  // no frame yet. On a FIFO this waits for the first header.
  py::object info() {
    rgb_frame_info first{};
    const int status = firstInfo(&first);
    if (status == RGB_END) return py::none();
    if (status != RGB_OK) raise(status, 0, path_);
    return py::make_tuple(first.width, first.height, first.planes);
  }

  // (whole frames, stray bytes after the last one); TypeError on a FIFO.
  py::tuple count() {
    int64_t frames = 0;
    uint64_t stray = 0;
    int status = RGB_OK;
    int saved = 0;
    {
      py::gil_scoped_release release;
      const std::lock_guard<std::mutex> lock(mutex_);
      status = open() ? rgb_reader_count(reader_, &frames, &stray) : RGB_EINVAL;
      saved = errno;
    }
    if (status != RGB_OK) raise(status, saved, path_);
    return py::make_tuple(frames, stray);
  }

  void seek(int64_t index) {
    int status = RGB_OK;
    int saved = 0;
    {
      py::gil_scoped_release release;
      const std::lock_guard<std::mutex> lock(mutex_);
      status = open() ? rgb_reader_seek(reader_, index) : RGB_EINVAL;
      saved = errno;
    }
    if (status != RGB_OK) raise(status, saved, path_, frameWhere(index));
  }

  // The next frame as (status, image, stamp, index). The ends a caller
  // tells apart (RGB_END, RGB_ETRUNCATED, RGB_ESHORTHEADER) come back as a
  // status with no image; every other failure raises.
  py::tuple next(bool alpha) {
    rgb_frame_info first{};
    const int known = firstInfo(&first);
    if (known == RGB_END || known == RGB_ESHORTHEADER)
      return py::make_tuple(known, py::none(), 0, 0);
    if (known != RGB_OK) raise(known, 0, path_);
    const int channels = alpha ? 4 : 3;
    py::array_t<uint8_t> image = newArray({first.height, first.width, channels});
    rgb_frame_info got{};
    int status = RGB_OK;
    int saved = 0;
    {
      py::gil_scoped_release release;
      const std::lock_guard<std::mutex> lock(mutex_);
      status = readOne(image.mutable_data(), first, alpha, &got, &saved);
    }
    if (status == RGB_END || status == RGB_ETRUNCATED || status == RGB_ESHORTHEADER)
      return py::make_tuple(status, py::none(), 0, got.index);
    if (status != RGB_OK) raise(status, saved, path_, frameWhere(got.index));
    return py::make_tuple(status, std::move(image), got.stamp, got.index);
  }

  // Frames start .. stop - 1 of a file into one (frames, H, W, C) array,
  // each read straight into its slice: the pixels are never copied twice.
  py::tuple readFrames(int64_t start, int64_t stop, bool alpha) {
    if (start < 0 || stop < start) throw py::value_error("bad frame range");
    rgb_frame_info first{};
    const int known = firstInfo(&first);
    if (known == RGB_END && stop == start) first = {};
    else if (known == RGB_END) raise(RGB_ERANGE, 0, path_, frameWhere(stop - 1));
    else if (known != RGB_OK) raise(known, 0, path_);
    const int channels = alpha ? 4 : 3;
    py::array_t<uint8_t> images = newArray({static_cast<py::ssize_t>(stop - start),
                                            static_cast<py::ssize_t>(first.height),
                                            static_cast<py::ssize_t>(first.width),
                                            static_cast<py::ssize_t>(channels)});
    py::array_t<int32_t> stamps(static_cast<py::ssize_t>(stop - start));
    if (stop == start) return py::make_tuple(std::move(images), std::move(stamps));
    const std::size_t frameBytes = pixelsOf(first.width, first.height, channels);
    unsigned char* pixels = images.mutable_data();
    int32_t* times = stamps.mutable_data();
    int status = RGB_OK;
    int saved = 0;
    int64_t failedAt = start;
    {
      py::gil_scoped_release release;
      const std::lock_guard<std::mutex> lock(mutex_);
      status = open() ? rgb_reader_seek(reader_, start) : RGB_EINVAL;
      saved = errno;
      for (int64_t n = start; status == RGB_OK && n < stop; ++n) {
        rgb_frame_info got{};
        failedAt = n;
        status = readOne(pixels + static_cast<std::size_t>(n - start) * frameBytes, first, alpha,
                         &got, &saved);
        times[n - start] = got.stamp;
      }
    }
    // A file that ends before `stop` was cut short after it was counted.
    if (status == RGB_END) status = RGB_ETRUNCATED;
    if (status != RGB_OK) raise(status, saved, path_, frameWhere(failedAt));
    return py::make_tuple(std::move(images), std::move(stamps));
  }

 private:
  bool open() const { return reader_ != nullptr; }

  int firstInfo(rgb_frame_info* first) {
    py::gil_scoped_release release;
    const std::lock_guard<std::mutex> lock(mutex_);
    return open() ? rgb_reader_info(reader_, first) : RGB_EINVAL;
  }

  // One frame of the first frame's shape into out (H * W * 3 bytes, or
  // H * W * 4 with alpha). Called with the GIL released and the mutex held.
  int readOne(unsigned char* out, const rgb_frame_info& first, bool alpha, rgb_frame_info* got,
              int* saved) {
    if (!open()) return RGB_EINVAL;
    errno = 0;
    int status = RGB_OK;
    if (!alpha) {
      // Every array handed in here was made by newArray for this read.
      status = rgb_reader_next(reader_, out, pixelsOf(first.width, first.height, 3),
                               RGB_TOP_ROW_FIRST | RGB_FRESH_BUFFER, got);
    } else {
      // The planes come as stored and are interleaved here, one frame at a
      // time; the stream's own shape is checked by the library.
      const std::size_t pixels = pixelsOf(first.width, first.height, 1);
      try {
        planes_.resize(pixels * static_cast<std::size_t>(first.planes));
      } catch (const std::bad_alloc&) {
        return RGB_ENOMEM;
      }
      status = rgb_reader_next(reader_, planes_.data(), planes_.size(),
                               RGB_TOP_ROW_FIRST | RGB_PLANAR, got);
      if (status == RGB_OK) interleaveRgba(planes_.data(), first.planes, pixels, out);
    }
    *saved = errno;
    return status;
  }

  std::string path_;
  rgb_reader* reader_ = nullptr;
  bool seekable_ = false;
  std::mutex mutex_;
  std::vector<unsigned char> planes_;
};

class Writer {
 public:
  explicit Writer(std::string path) : path_(std::move(path)) {
    int status = RGB_OK;
    int saved = 0;
    {
      py::gil_scoped_release release;
      errno = 0;
      status = rgb_writer_open(&writer_, path_.c_str());
      saved = errno;
    }
    if (status != RGB_OK) raise(status, saved, path_);
  }
  ~Writer() {
    if (writer_) rgb_writer_close(writer_);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Appends images (F, H, W, 3), checked and made C-contiguous by the
  // caller, with stamps (F int32) or the library's clock when stamps is
  // None. Returns F; a failure raises after the frames before it were
  // appended (the failed one is undone by the library).
  int64_t put(const py::array_t<uint8_t, py::array::c_style>& images, const py::object& stamps) {
    if (images.ndim() != 4 || images.shape(3) != 3) throw py::value_error("images must be (F, H, W, 3)");
    const int64_t frames = images.shape(0);
    const auto height = static_cast<int>(images.shape(1));
    const auto width = static_cast<int>(images.shape(2));
    if (images.shape(1) > 65535 || images.shape(2) > 65535)
      throw py::value_error("a side above 65,535");
    const int32_t* times = nullptr;
    py::array_t<int32_t, py::array::c_style> stampArray;
    if (!stamps.is_none()) {
      stampArray = py::array_t<int32_t, py::array::c_style>::ensure(stamps);
      if (!stampArray || stampArray.ndim() != 1 || stampArray.shape(0) != frames)
        throw py::value_error("stamps must be one int32 per frame");
      times = stampArray.data();
    }
    const unsigned char* pixels = images.data();
    const std::size_t frameBytes = pixelsOf(width, height, 3);
    int status = RGB_OK;
    int saved = 0;
    int64_t n = 0;
    {
      py::gil_scoped_release release;
      const std::lock_guard<std::mutex> lock(mutex_);
      for (; n < frames; ++n) {
        errno = 0;
        const int32_t stamp = times ? times[n] : static_cast<int32_t>(get_time());
        status = writer_ ? rgb_writer_put(writer_, pixels + static_cast<std::size_t>(n) * frameBytes,
                                          width, height, stamp, RGB_TOP_ROW_FIRST)
                         : RGB_EINVAL;
        saved = errno;
        if (status != RGB_OK) break;
      }
    }
    if (status != RGB_OK) raise(status, saved, path_, frameWhere(n));
    return frames;
  }

  void close() {
    int status = RGB_OK;
    int saved = 0;
    {
      py::gil_scoped_release release;
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!writer_) return;
      errno = 0;
      status = rgb_writer_close(writer_);
      saved = errno;
      writer_ = nullptr;
    }
    if (status != RGB_OK) raise(status, saved, path_);
  }

  bool closed() const { return writer_ == nullptr; }

 private:
  std::string path_;
  rgb_writer* writer_ = nullptr;
  std::mutex mutex_;
};

}  // namespace

PYBIND11_MODULE(_rgbstream, m) {
  m.doc() = "Compiled core of rgbstream; use the rgbstream package instead.";
  py::register_exception<StreamError>(m, "Error", PyExc_ValueError);
  m.attr("END") = static_cast<int>(RGB_END);
  m.attr("ETRUNCATED") = static_cast<int>(RGB_ETRUNCATED);
  m.attr("ESHORTHEADER") = static_cast<int>(RGB_ESHORTHEADER);
  m.def("library_version", &rgb_version);
  m.def("get_time", &get_time, "The library's clock: milliseconds within 10,000 seconds.");

  py::class_<Reader>(m, "Reader")
      .def(py::init([](const py::bytes& path) { return new Reader(std::string(path)); }))
      .def("close", &Reader::close)
      .def_property_readonly("seekable", &Reader::seekable)
      .def("info", &Reader::info)
      .def("count", &Reader::count)
      .def("seek", &Reader::seek)
      .def("next", &Reader::next, py::arg("alpha") = false)
      .def("read_frames", &Reader::readFrames);

  py::class_<Writer>(m, "Writer")
      .def(py::init([](const py::bytes& path) { return new Writer(std::string(path)); }))
      .def("put", &Writer::put)
      .def("close", &Writer::close)
      .def_property_readonly("closed", &Writer::closed);
}
