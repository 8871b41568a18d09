// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool export: frames out as PNG, PPM or raw pictures.
#include "rgbtool/commands.h"
#include "rgbtool/frame_output.h"

namespace rgbtool {

int runExport(const FrameOutputOptions& options) {
  // Read top row first, straight into the buffer the picture is written from.
  return writeFrames(options, FrameReader::Rows::TopFirst,
                     [](const Frame& frame, std::string&) { return frame.pixels.get(); });
}

}  // namespace rgbtool
