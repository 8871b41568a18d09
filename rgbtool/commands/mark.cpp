// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool mark: the viewer's region-of-interest display image, as pictures.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "rgbtool/cli/options.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/output/frame_output.h"
#include "rgbtool/report/diagnostics.h"
#include "toolkit/marking.h"

namespace rgbtool {
namespace {

constexpr const char* kFooter = R"(Several frames print a line each on standard output: "frame N: M marked pixels".

Examples:
  $ rgbtool mark --frame 1 demo.rgb marked.png
  $ rgbtool mark --all demo.rgb 'marked%02d.ppm'

Exit status:
  0   every frame asked for was written
  1   the stream cannot be read, has no such frame, or a picture cannot be written
      (an existing picture without -y, the input itself)
  2   a usage error (a format that cannot be told, a name without %d for several frames))";

int run(const FrameOutputOptions& options) {
  toolkit::Pixels display;
  std::size_t capacity = 0;
  const FrameFilter markFrame = [&](const toolkit::Frame& frame,
                                         std::string& line) -> const unsigned char* {
    const std::size_t bytes = toolkit::kChannels * static_cast<std::size_t>(frame.width()) *
                              static_cast<std::size_t>(frame.height());
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
        toolkit::markRegionOfInterest(frame.pixels(), frame.width(), frame.height(),
                                       display.get());
    if (options.frames.many())
      line = "frame " + std::to_string(frame.index()) + ": " + std::to_string(marked) +
             " marked pixels\n";
    return display.get();
  };
  // The marking works on frames as stored, bottom row first.
  return writeFrames(options, 0, markFrame);
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<FrameOutputOptions>();
  cli::addFrameOutputOptions(command, *options, "mark");
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command markCommand() {
  return {"mark", "Write the region-of-interest display image of frames as pictures", declare};
}

}  // namespace commands
}  // namespace rgbtool
