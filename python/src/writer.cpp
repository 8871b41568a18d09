// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "writer.h"

#include <cerrno>
#include <utility>
#include <vector>

#include "errors.h"
#include "toolkit/frame.h"

namespace rgbstream {
namespace {

std::string nothingWent(int64_t frames) {
  if (frames == 1) return "the frame was not appended";
  return "none of the " + std::to_string(frames) + " frames went in";
}

std::string sizeWords(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// What the file already holds, for a refusal: its first frame's header and
// its whole frames and stray bytes, read best effort (a file no reader can
// make sense of gives what could be found).
struct FileStream {
  bool known = false;
  rgb_frame_info first{};
  int64_t frames = 0;
  uint64_t stray = 0;
};

FileStream inspect(const std::string& path) {
  FileStream found;
  rgb_reader* reader = nullptr;
  if (rgb_reader_open(&reader, path.c_str()) != RGB_OK) return found;
  found.known = rgb_reader_info(reader, &found.first) == RGB_OK &&
                rgb_reader_count(reader, &found.frames, &found.stray) == RGB_OK;
  rgb_reader_close(reader);
  return found;
}

// Why an append that does not continue the file's stream was refused.
std::string refusal(const std::string& path, int status, int width, int height) {
  const FileStream file = inspect(path);
  if (status == RGB_ESIZECHANGE) {
    const std::string theirs =
        file.known ? "the " + sizeWords(file.first.width, file.first.height) + " frames" : "the frames";
    return "frames of " + sizeWords(width, height) + " cannot follow " + theirs +
           " of the stream in the file";
  }
  if (status == RGB_ETRUNCATED) {
    const std::string stray = file.known ? std::to_string(file.stray) + " bytes" : "bytes";
    return "the file ends inside a frame (" + stray +
           " after its last whole frame, as an interrupted append leaves them), so frames "
           "appended after them could never be read; cut_partial=True cuts them off first";
  }
  return std::string("the file is not a frame stream (") + rgb_strerror(status) + ")";
}

}  // namespace

Writer::Writer(std::string path) : path_(std::move(path)) {
  int status = RGB_OK;
  int saved = 0;
  {
    py::gil_scoped_release release;
    errno = 0;
    status = rgb_writer_open(&writer_, path_.c_str());
    saved = errno;
  }
  if (status != RGB_OK) raise(status, saved, path_, "");
}

void Writer::fail(int status, int savedErrno, int64_t frames, int width, int height) {
  if (status == RGB_EIO) raise(status, savedErrno, path_, nothingWent(frames));
  std::string words = refusal(path_, status, width, height) + "; " + nothingWent(frames);
  throw StreamError(std::string(displayPath(path_)) + ": " + words, -1, status);
}

int64_t Writer::put(const py::array_t<uint8_t, py::array::c_style>& images,
                    const py::object& stamps, bool cutPartial) {
  if (images.ndim() != 4 || images.shape(3) != static_cast<pybind11::ssize_t>(toolkit::kChannels))
    throw py::value_error("images must be (F, H, W, 3)");
  const int64_t frames = images.shape(0);
  if (images.shape(1) > 65535 || images.shape(2) > 65535)
    throw py::value_error("a side above 65,535");
  const auto height = static_cast<int>(images.shape(1));
  const auto width = static_cast<int>(images.shape(2));
  std::vector<int32_t> clock;
  const int32_t* times = nullptr;
  py::array_t<int32_t, py::array::c_style> given;
  if (stamps.is_none()) {
    clock.assign(static_cast<std::size_t>(frames), static_cast<int32_t>(get_time()));
    times = clock.data();
  } else {
    given = py::array_t<int32_t, py::array::c_style>::ensure(stamps);
    if (!given || given.ndim() != 1 || given.shape(0) != frames)
      throw py::value_error("stamps must be one int32 per frame");
    times = given.data();
  }
  const int flags = RGB_TOP_ROW_FIRST | (cutPartial ? RGB_CUT_PARTIAL : 0);
  int status = RGB_OK;
  int saved = 0;
  bool open = true;
  {
    py::gil_scoped_release release;
    const std::lock_guard<std::mutex> lock(mutex_);
    open = writer_ != nullptr;
    errno = 0;
    if (open) status = rgb_writer_put_frames(writer_, images.data(), width, height, frames, times, flags);
    saved = errno;
  }
  if (!open) throw py::value_error(std::string(displayPath(path_)) + ": the Writer is closed");
  if (status != RGB_OK) fail(status, saved, frames, width, height);
  return frames;
}

void Writer::close() {
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
  if (status != RGB_OK) raise(status, saved, path_, "");
}

}  // namespace rgbstream
