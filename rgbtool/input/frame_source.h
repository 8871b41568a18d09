// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frames one by one through the library's handle reader, for the commands
// that look at every pixel (video, sheet): a file, a named pipe or "-" for
// standard input, read as it arrives; failures come back as one line.
#ifndef RGBTOOL_INPUT_FRAME_SOURCE_H
#define RGBTOOL_INPUT_FRAME_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "rgb/rgb.h"

namespace rgbtool {

class FrameSource {
 public:
  FrameSource() = default;
  ~FrameSource();
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  // Opens the stream and reads the first header (waiting for a pipe's first
  // frame). An empty stream is an error: there is nothing to show.
  bool open(const std::string& path, std::string& error);
  const rgb_frame_info& first() const { return first_; }
  // Whole frames, when the stream is a regular file; -1 when unknown.
  int64_t total() const { return total_; }

  enum class Status { Frame, End, Failed };
  // The next frame, interleaved RGB, top row first, into pixels (resized as
  // needed); info receives its header.
  Status next(std::vector<unsigned char>& pixels, rgb_frame_info& info, std::string& error);
  // Skips to frame index: a seek on files, reading through on pipes. The
  // next call to next() tells whether the stream has such a frame.
  Status skipTo(int64_t index, std::vector<unsigned char>& scratch, std::string& error);

 private:
  std::string reason(int status, const char* what) const;

  rgb_reader* reader_ = nullptr;
  rgb_frame_info first_{};
  int64_t total_ = -1;
  int64_t nextIndex_ = 0;
};

}  // namespace rgbtool

#endif  // RGBTOOL_INPUT_FRAME_SOURCE_H
