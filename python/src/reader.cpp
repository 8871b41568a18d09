// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "reader.h"

#include <cerrno>
#include <utility>

#include "errors.h"
#include "rgb/frames.h"

namespace rgbstream {
namespace {

constexpr int kRgb = 3;
constexpr int kRgba = 4;

bool isEnd(int status) {
  return status == RGB_END || status == RGB_ETRUNCATED || status == RGB_ESHORTHEADER;
}

}  // namespace

Reader::Reader(std::string path) : path_(std::move(path)) {
  Outcome opened;
  {
    py::gil_scoped_release release;
    errno = 0;
    opened.status = rgb_reader_open(&reader_, path_.c_str());
    opened.savedErrno = errno;
  }
  if (opened.status != RGB_OK) fail(opened);
  // A FIFO has no size to count from: that is how the two are told apart.
  int64_t frames = 0;
  seekable_ = rgb_reader_count(reader_, &frames, nullptr) != RGB_EUNSEEKABLE;
}

template <typename Call>
Reader::Outcome Reader::locked(Call call) {
  Outcome outcome;
  py::gil_scoped_release release;
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!reader_) {
    outcome.status = RGB_EINVAL;
    outcome.message = "the Reader is closed";
    return outcome;
  }
  errno = 0;
  outcome.status = call(reader_, outcome);
  outcome.savedErrno = errno;
  if (outcome.status != RGB_OK && outcome.message.empty())
    outcome.message = readerMessage(reader_, outcome.status);
  return outcome;
}

void Reader::fail(const Outcome& outcome) {
  raise(outcome.status, outcome.savedErrno, path_,
        failureWords(outcome.message, outcome.status, outcome.frame), outcome.frame);
}

void Reader::close() {
  py::gil_scoped_release release;
  const std::lock_guard<std::mutex> lock(mutex_);
  rgb_reader_close(reader_);
  reader_ = nullptr;
}

Reader::Outcome Reader::firstInfo(rgb_frame_info* first) {
  return locked([&](rgb_reader* reader, Outcome& outcome) {
    outcome.frame = 0;
    return rgb_reader_info(reader, first);
  });
}

rgb_frame_info Reader::firstFrame() {
  rgb_frame_info first{};
  const Outcome got = firstInfo(&first);
  if (got.status != RGB_OK) fail(got);
  return first;
}

bool Reader::firstFrameIfAny(rgb_frame_info* first) {
  const Outcome got = firstInfo(first);
  if (got.status == RGB_END || got.status == RGB_ESHORTHEADER) return false;
  if (got.status != RGB_OK) fail(got);
  return true;
}

py::object Reader::info() {
  rgb_frame_info first{};
  if (!firstFrameIfAny(&first)) return py::none();
  return py::make_tuple(first.width, first.height, first.planes);
}

py::tuple Reader::count() {
  int64_t frames = 0;
  uint64_t stray = 0;
  const Outcome got = locked([&](rgb_reader* reader, Outcome&) {
    return rgb_reader_count(reader, &frames, &stray);
  });
  if (got.status != RGB_OK) fail(got);
  return py::make_tuple(frames, stray);
}

// Seeks to a frame the caller counted: a file cut short since then has
// lost it, which is a damage like a frame cut in its pixels.
int Reader::seekCounted(rgb_reader* reader, int64_t index, Outcome* outcome) {
  outcome->frame = index;
  const int status = rgb_reader_seek(reader, index);
  if (status != RGB_ERANGE) return status;
  outcome->message = "frame " + std::to_string(index) + " is gone: the file was cut short";
  return RGB_ETRUNCATED;
}

py::array_t<int32_t> Reader::stamps(int64_t start, int64_t stop) {
  if (start < 0 || stop < start) throw py::value_error("bad frame range");
  py::array_t<int32_t> stamps(static_cast<py::ssize_t>(stop - start));
  int32_t* out = stamps.mutable_data();
  const Outcome got = locked([&](rgb_reader* reader, Outcome& outcome) {
    for (int64_t n = start; n < stop; ++n) {
      rgb_frame_info header{};
      int status = seekCounted(reader, n, &outcome);
      // The header alone: the pixels are never read.
      if (status == RGB_OK) status = rgb_reader_peek(reader, &header);
      if (status == RGB_END) status = RGB_ETRUNCATED;
      if (status != RGB_OK) return status;
      out[n - start] = header.stamp;
    }
    return static_cast<int>(RGB_OK);
  });
  if (got.status != RGB_OK) fail(got);
  return stamps;
}

int Reader::readInto(rgb_reader* reader, unsigned char* out, const rgb_frame_info& first,
                     bool alpha, bool fresh, rgb_frame_info* got) {
  if (!alpha) {
    return rgb_reader_next(reader, out, pixelsOf(first.width, first.height, kRgb),
                           RGB_TOP_ROW_FIRST | (fresh ? RGB_FRESH_BUFFER : 0), got);
  }
  // The planes come as stored and are interleaved here; their buffer grows
  // only with pixels the stream holds, never with a declared size alone.
  const int status = rgb_reader_next_grow(reader, planes_.data(), planes_.capacity(),
                                          RGB_TOP_ROW_FIRST | RGB_PLANAR, got);
  if (status == RGB_OK)
    interleaveRgba(planes_.bytes(), got->planes, pixelsOf(got->width, got->height, 1), out);
  return status;
}

py::tuple Reader::frame(int64_t index, bool alpha) {
  const rgb_frame_info first = firstFrame();
  bool fresh = false;
  py::array_t<uint8_t> image = newArray({first.height, first.width, alpha ? kRgba : kRgb}, &fresh);
  unsigned char* pixels = image.mutable_data();
  rgb_frame_info got{};
  const Outcome read = locked([&](rgb_reader* reader, Outcome& outcome) {
    int status = seekCounted(reader, index, &outcome);
    if (status == RGB_OK) status = readInto(reader, pixels, first, alpha, fresh, &got);
    if (status == RGB_END) status = RGB_ETRUNCATED;
    return status;
  });
  if (read.status != RGB_OK) fail(read);
  return py::make_tuple(std::move(image), got.stamp);
}

py::tuple Reader::next(bool alpha) {
  rgb_frame_info got{};
  GrowBuffer pixels;
  const Outcome read = locked([&](rgb_reader* reader, Outcome& outcome) {
    // A pipe's frame costs memory only as its bytes arrive.
    const int status = alpha ? rgb_reader_next_grow(reader, planes_.data(), planes_.capacity(),
                                                    RGB_TOP_ROW_FIRST | RGB_PLANAR, &got)
                             : rgb_reader_next_grow(reader, pixels.data(), pixels.capacity(),
                                                    RGB_TOP_ROW_FIRST, &got);
    outcome.frame = got.index;
    return status;
  });
  if (isEnd(read.status)) {
    const std::string words =
        read.status == RGB_END ? "" : failureWords(read.message, read.status, read.frame);
    return py::make_tuple(read.status, py::none(), 0, read.frame, words);
  }
  if (read.status != RGB_OK) fail(read);
  if (!alpha) {
    py::array_t<uint8_t> image = pixels.handOver({got.height, got.width, kRgb});
    return py::make_tuple(read.status, std::move(image), got.stamp, got.index, "");
  }
  py::array_t<uint8_t> image = newArray({got.height, got.width, kRgba});
  interleaveRgba(planes_.bytes(), got.planes, pixelsOf(got.width, got.height, 1),
                 image.mutable_data());
  return py::make_tuple(read.status, std::move(image), got.stamp, got.index, "");
}

py::tuple Reader::readFrames(int64_t start, int64_t count, int64_t step, bool alpha,
                             bool salvage) {
  if (start < 0 || count < 0 || step == 0) throw py::value_error("bad frame range");
  const int channels = alpha ? kRgba : kRgb;
  // No frames of a stream with no frame yet are (0, 0, 0, C).
  rgb_frame_info first{};
  if (count > 0) first = firstFrame();
  else firstFrameIfAny(&first);
  bool fresh = false;
  py::array_t<uint8_t> images = newArray({static_cast<py::ssize_t>(count), first.height,
                                          first.width, channels}, &fresh);
  py::array_t<int32_t> stamps(static_cast<py::ssize_t>(count));
  const std::size_t frameBytes = pixelsOf(first.width, first.height, channels);
  unsigned char* pixels = images.mutable_data();
  int32_t* times = stamps.mutable_data();
  int64_t done = 0;
  const Outcome read = locked([&](rgb_reader* reader, Outcome& outcome) {
    int status = RGB_OK;
    for (; done < count; ++done) {
      const int64_t index = start + done * step;
      // Frames in a row need no seek between them.
      status = done == 0 || step != 1 ? seekCounted(reader, index, &outcome) : RGB_OK;
      outcome.frame = index;
      rgb_frame_info got{};
      if (status == RGB_OK)
        status = readInto(reader, pixels + static_cast<std::size_t>(done) * frameBytes, first,
                          alpha, fresh, &got);
      if (status == RGB_END) status = RGB_ETRUNCATED;
      if (status != RGB_OK) break;
      times[done] = got.stamp;
    }
    return status;
  });
  if (read.status == RGB_OK) return py::make_tuple(std::move(images), std::move(stamps), py::none());
  if (!salvage || !isDamage(read.status)) fail(read);
  const py::slice kept(0, static_cast<py::ssize_t>(done), 1);
  return py::make_tuple(images[kept], stamps[kept],
                        py::make_tuple(failureWords(read.message, read.status, read.frame),
                                       read.frame));
}

py::tuple Reader::planarLayout() {
  const rgb_frame_info first = firstFrame();
  const rgb::Shape shape{first.width, first.height, first.planes};
  const auto width = static_cast<py::ssize_t>(shape.width);
  const auto height = static_cast<py::ssize_t>(shape.height);
  // Each plane is stored bottom row first: the view starts at the last
  // stored row and steps back one row at a time.
  const auto topRow = static_cast<py::ssize_t>(rgb::kHeaderSize) + (height > 0 ? height - 1 : 0) * width;
  const py::tuple strides = py::make_tuple(static_cast<py::ssize_t>(shape.streamFrameBytes()),
                                           static_cast<py::ssize_t>(shape.planeBytes()), -width,
                                           py::ssize_t{1});
  return py::make_tuple(topRow, strides, py::make_tuple(shape.planes, height, width));
}

}  // namespace rgbstream
