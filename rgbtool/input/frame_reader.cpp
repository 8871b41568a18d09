// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/input/frame_reader.h"

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "rgbtool/report/diagnostics.h"

namespace rgbtool {
namespace {

constexpr int kRgbaPlanes = 4;

std::string framesText(int64_t n) {
  return std::to_string(n) + " frame" + (n == 1 ? "" : "s");
}

void pause(int ms) {
  constexpr long kNsPerMs = 1000000;
  constexpr int kMsPerS = 1000;
  timespec wait{ms / kMsPerS, static_cast<long>(ms % kMsPerS) * kNsPerMs};
  nanosleep(&wait, nullptr);
}

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A buffer the next read fills whole at once: for large frames aligned for
// huge pages and with its pages provided in one call, rather than one fault
// per 4 KiB page as the frame is copied in, which costs more than the copy.
unsigned char* allocateFrame(std::size_t bytes) {
  if (bytes < kHugePage) return static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
  const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = std::aligned_alloc(kHugePage, rounded);
  if (!memory) return nullptr;
  // Only hints: without them the buffer works the same.
  madvise(memory, rounded, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
  madvise(memory, rounded, MADV_POPULATE_WRITE);
#endif
  return static_cast<unsigned char*>(memory);
}

}  // namespace

const char* planeName(int planes) { return planes == kRgbaPlanes ? "RGBA" : "RGB"; }

std::string describe(const Geometry& geometry) {
  return std::to_string(geometry.width) + " x " + std::to_string(geometry.height) + " " +
         planeName(geometry.planes);
}

std::string readerFailure(rgb_reader* reader, int status) {
  const int error = errno;
  std::string words = reader ? rgb_reader_message(reader) : "";
  if (words.empty()) words = rgb_strerror(status);
  if ((status == RGB_EOPEN || status == RGB_EIO) && words.find(std::strerror(error)) == std::string::npos)
    words += std::string(": ") + std::strerror(error);
  return words;
}

FrameReader::~FrameReader() {
  if (reader_) rgb_reader_close(reader_);
}

bool FrameReader::failed(const std::string& why) {
  report(name_ + ": " + why);
  return false;
}

bool FrameReader::open(const std::string& path) {
  if (!input_.open(path)) return failed(input_.error());
  const int status = rgb_reader_from_file(&reader_, input_.get());
  if (status != RGB_OK) return failed(readerFailure(nullptr, status));
  return true;
}

int64_t FrameReader::total() {
  int64_t frames = -1;
  if (!input_.seekable() || rgb_reader_count(reader_, &frames, nullptr) != RGB_OK) return -1;
  return frames;
}

bool FrameReader::skipTo(int64_t index) {
  if (index <= nextIndex_) return true;
  if (!input_.seekable()) {
    Frame dropped;
    while (nextIndex_ < index) {
      const Status status = next(dropped);
      if (status == Status::Failed) return false;
      if (status == Status::End) return failed("has only " + framesText(nextIndex_));
    }
    return true;
  }
  int64_t frames = 0;
  const int counted = rgb_reader_count(reader_, &frames, nullptr);
  if (counted != RGB_OK) return failed(readerFailure(reader_, counted));
  if (index >= frames) return failed("has only " + framesText(frames));
  const int sought = rgb_reader_seek(reader_, index);
  if (sought != RGB_OK) return failed(readerFailure(reader_, sought));
  nextIndex_ = index;
  return true;
}

FrameReader::Status FrameReader::moveTo(int64_t index) {
  if (index == nextIndex_) return Status::Frame;
  if (!input_.seekable()) {
    Frame dropped;
    while (nextIndex_ < index) {
      const Status status = next(dropped);
      if (status != Status::Frame) return status;
    }
    return Status::Frame;
  }
  int64_t frames = 0;
  const int counted = rgb_reader_count(reader_, &frames, nullptr);
  if (counted != RGB_OK) {
    failed(readerFailure(reader_, counted));
    return Status::Failed;
  }
  if (index > frames) return Status::End;
  const int sought = rgb_reader_seek(reader_, index);
  if (sought != RGB_OK) {
    failed(readerFailure(reader_, sought));
    return Status::Failed;
  }
  nextIndex_ = index;
  return Status::Frame;
}

bool FrameReader::skipToEnd() {
  const int64_t frames = total();
  if (frames < 0) return failed("cannot follow: not a regular file");
  const int sought = rgb_reader_seek(reader_, frames);
  if (sought != RGB_OK) return failed(readerFailure(reader_, sought));
  nextIndex_ = frames;
  return true;
}

FrameReader::Status FrameReader::read(Frame& frame, bool quietEnd, int& status) {
  rgb_frame_info info{};
  const int flags = rows_ == Rows::TopFirst ? RGB_TOP_ROW_FIRST : 0;
  status = rgb_reader_next(reader_, frame.pixels.get(), frame.capacity, flags, &info);
  if (status == RGB_ECAPACITY) {
    // The frame stays next: grow the buffer and read it again.
    const std::size_t bytes = rgb_frame_bytes(&info, flags);
    frame.pixels.reset(allocateFrame(bytes));
    frame.capacity = frame.pixels ? bytes : 0;
    if (!frame.pixels) {
      failed("frame " + std::to_string(info.index) + ": out of memory");
      return Status::Failed;
    }
    status = rgb_reader_next(reader_, frame.pixels.get(), frame.capacity, flags, &info);
  }
  if (status == RGB_END) return Status::End;
  if (status != RGB_OK) {
    if (!quietEnd) failed(readerFailure(reader_, status));
    return Status::Failed;
  }
  frame.width = info.width;
  frame.height = info.height;
  frame.stamp = info.stamp;
  frame.index = info.index;
  frame.topRowFirst = rows_ == Rows::TopFirst;
  nextIndex_ = info.index + 1;
  return Status::Frame;
}

FrameReader::Status FrameReader::next(Frame& frame) {
  int status = RGB_OK;
  return read(frame, false, status);
}

FrameReader::Status FrameReader::follow(Frame& frame, bool (*stop)(), int pauseMs) {
  for (;;) {
    int status = RGB_OK;
    const Status got = read(frame, true, status);
    if (got == Status::Frame) return got;
    // A frame being appended shows as a short header or short pixels until
    // its writer is done; the reader has gone back to its start.
    const bool growing = got == Status::End || status == RGB_ESHORTHEADER ||
                         status == RGB_ETRUNCATED;
    if (!growing || !input_.seekable()) {
      if (got == Status::Failed) failed(readerFailure(reader_, status));
      return got;
    }
    if (stop()) return Status::End;
    pause(pauseMs);
  }
}

}  // namespace rgbtool
