// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// What export and mark share: pick frames from a stream and write each as a
// picture, optionally after turning it into another picture first.
#ifndef RGBTOOL_OUTPUT_FRAME_OUTPUT_H
#define RGBTOOL_OUTPUT_FRAME_OUTPUT_H

#include <cstdint>
#include <functional>
#include <string>

#include "toolkit/frame.h"

namespace rgbtool {

// Which frames of a stream: one (--frame), or a run of them (--all, --start,
// --count, --step) from `start` on, every `step`th, `count` of them or up to
// the end.
struct FrameSelection {
  int64_t frame = 0;
  bool all = false;
  int64_t start = 0;
  int64_t count = -1;  // -1: up to the end
  int64_t step = 1;
  bool range = false;  // --start, --count or --step given

  bool many() const { return all || range; }
  int64_t first() const { return many() ? start : frame; }
};

// Which frames go where.
struct FrameOutputOptions {
  std::string file;
  std::string out;
  FrameSelection frames;
  std::string format;  // empty: from OUT's extension
  bool overwrite = false;
  std::string stamps;  // a .csv or .json file for the stamps of the pictures; empty: none
};

// Returns the picture to write for a frame, in the frame's row order (the
// frame's own pixels or a buffer it keeps alive until the next call);
// nullptr reports a failure. Whatever it puts in `line` is printed on stdout.
using FrameFilter =
    std::function<const unsigned char*(const toolkit::Frame& frame, std::string& line)>;

// rowFlags: the order the filter wants the frames in (RGB_TOP_ROW_FIRST or
// 0, bottom row first as stored).
int writeFrames(const FrameOutputOptions& options, int rowFlags, const FrameFilter& filter);

}  // namespace rgbtool

#endif  // RGBTOOL_OUTPUT_FRAME_OUTPUT_H
