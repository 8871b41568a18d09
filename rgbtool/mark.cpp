// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool mark: the viewer's region-of-interest display image, as pictures.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/frame_output.h"
#include "toolkit/marking.h"

namespace rgbtool {
namespace {

constexpr std::size_t kChannels = 3;

}  // namespace

int runMark(const FrameOutputOptions& options) {
  Pixels display;
  std::size_t capacity = 0;
  const FrameFilter markFrame = [&](const Frame& frame, std::string& line) -> const unsigned char* {
    const std::size_t bytes = kChannels * static_cast<std::size_t>(frame.width) *
                              static_cast<std::size_t>(frame.height);
    if (bytes > capacity || !display) {
      display.reset(static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1)));
      capacity = display ? bytes : 0;
      if (!display) {
        report(options.file + ": out of memory for the display image");
        return nullptr;
      }
    }
    // The marking starts from a zero-filled display image, as in the viewer.
    std::memset(display.get(), 0, bytes);
    const std::size_t marked =
        toolkit::markRegionOfInterest(frame.pixels.get(), frame.width, frame.height,
                                       display.get());
    if (options.frames.many())
      line = "frame " + std::to_string(frame.index) + ": " + std::to_string(marked) +
             " marked pixels\n";
    return display.get();
  };
  // The marking works on frames as stored, bottom row first.
  return writeFrames(options, FrameReader::Rows::BottomFirst, markFrame);
}

}  // namespace rgbtool
