// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The words the stream scan uses for a stream's frames, on the library's
// own frame header and the toolkit's wording, so that rgbtool keeps no
// shape or failure wording of its own.
#ifndef RGBTOOL_INPUT_STREAM_SHAPE_H
#define RGBTOOL_INPUT_STREAM_SHAPE_H

#include <string>

#include "rgb/rgb.h"
#include "toolkit/frame.h"

namespace rgbtool {

using toolkit::Pixels;
using toolkit::planeName;

// A stream's frame size and planes: the library's header, built from the
// three numbers the scan knows before any stamp or index.
struct Geometry : rgb_frame_info {
  Geometry() : rgb_frame_info{} {}
  Geometry(int w, int h, int p) : rgb_frame_info{w, h, p, 0, 0} {}
};

// "1920 x 1080 RGB".
inline std::string describe(const rgb_frame_info& shape) { return toolkit::describeShape(shape); }

// The library's words for a failed call on `reader` (null: before one was
// made), with the system's reason where it has one.
std::string readerFailure(rgb_reader* reader, int status);

}  // namespace rgbtool

#endif  // RGBTOOL_INPUT_STREAM_SHAPE_H
