// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// What export and mark share: pick frames from a stream and write each as a
// picture, optionally after turning it into another picture first.
#ifndef RGBTOOL_FRAME_OUTPUT_H
#define RGBTOOL_FRAME_OUTPUT_H

#include <functional>
#include <string>

#include "rgbtool/commands.h"
#include "rgbtool/frame_reader.h"

namespace rgbtool {

// Returns the picture to write for a frame, in the frame's row order (the
// frame's own pixels or a buffer it keeps alive until the next call);
// nullptr reports a failure. Whatever it puts in `line` is printed on stdout.
using FrameFilter = std::function<const unsigned char*(const Frame& frame, std::string& line)>;

// rows: the order the filter wants the frames in.
int writeFrames(const FrameOutputOptions& options, FrameReader::Rows rows,
                const FrameFilter& filter);

}  // namespace rgbtool

#endif  // RGBTOOL_FRAME_OUTPUT_H
