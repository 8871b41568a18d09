// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frames one at a time through the library's reader handle: only the frames
// asked for are loaded, each into a buffer kept from frame to frame.
#ifndef RGBTOOL_INPUT_FRAME_READER_H
#define RGBTOOL_INPUT_FRAME_READER_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "rgb/rgb.h"
#include "rgbtool/input/input.h"

namespace rgbtool {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using Pixels = std::unique_ptr<unsigned char, FreeDeleter>;

// A frame's picture size and planes.
struct Geometry {
  int width = 0;
  int height = 0;
  int planes = 0;
  bool operator==(const Geometry& other) const {
    return width == other.width && height == other.height && planes == other.planes;
  }
  bool operator!=(const Geometry& other) const { return !(*this == other); }
};

// "1920 x 1080 RGB" or "... RGBA".
std::string describe(const Geometry& geometry);
const char* planeName(int planes);

// One frame: interleaved RGB, in the row order the reader was asked for.
struct Frame {
  Pixels pixels;
  std::size_t capacity = 0;  // bytes behind pixels, reused by the next frame
  int width = 0;
  int height = 0;
  int32_t stamp = 0;
  int64_t index = 0;
  bool topRowFirst = false;
};

// The library's words for a failed call, with the system's reason where it
// has one.
std::string readerFailure(rgb_reader* reader, int status);

class FrameReader {
 public:
  enum class Status { Frame, End, Failed };
  enum class Rows { BottomFirst, TopFirst };

  // name is used in messages.
  FrameReader(std::string name, Rows rows) : name_(std::move(name)), rows_(rows) {}
  ~FrameReader();
  FrameReader(const FrameReader&) = delete;
  FrameReader& operator=(const FrameReader&) = delete;

  // Opens path ("-" is standard input, read from where it stands); reports
  // and returns false on failure.
  bool open(const std::string& path);
  FILE* stream() const { return input_.get(); }
  bool seekable() const { return input_.seekable(); }
  // Whole frames of a seekable stream; -1 for pipes.
  int64_t total();

  // Positions the reader at frame index: seeks in regular files, reads
  // through on pipes. Reports and returns false when there is no such frame.
  bool skipTo(int64_t index);
  // As skipTo, but a stream without such a frame is an unreported End. A
  // seekable stream is left at the frame only when it is not next already,
  // so that reading on frame by frame still meets a cut-off last frame.
  Status moveTo(int64_t index);
  // Reads the next frame into frame (its buffer reused when large enough).
  // End: the stream ended cleanly between frames; Failed has been reported.
  Status next(Frame& frame);
  // As next, but a seekable stream that ends (cleanly or inside a frame
  // still being written) is read again after `pause` until a frame arrives
  // or stop() turns true.
  Status follow(Frame& frame, bool (*stop)(), int pauseMs);
  // Moves to the current end of a seekable stream (its last whole frame).
  bool skipToEnd();

 private:
  Status read(Frame& frame, bool quietEnd, int& status);
  bool failed(const std::string& why);

  std::string name_;
  Rows rows_;
  InputStream input_;
  rgb_reader* reader_ = nullptr;
  int64_t nextIndex_ = 0;
};

}  // namespace rgbtool

#endif  // RGBTOOL_INPUT_FRAME_READER_H
