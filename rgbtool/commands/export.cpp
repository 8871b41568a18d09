// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool export: frames out as PNG, PPM or raw pictures.
#include <memory>

#include "rgbtool/cli/options.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/output/frame_output.h"

namespace rgbtool {
namespace {

constexpr const char* kFooter = R"(Examples:
  $ rgbtool export --frame 1 demo.rgb one.png
  $ rgbtool export -y --frame 2 demo.rgb one.png
  $ rgbtool export --start 0 --step 2 demo.rgb 'even%d.png'
  $ rgbtool export --all --format ppm demo.rgb - | ffmpeg -f image2pipe -c:v ppm -i - demo.mkv
  $ rgbtool export --all --format raw demo.rgb - > demo.raw

Exit status:
  0   every frame asked for was written
  1   the stream cannot be read, has no such frame, or a picture cannot be written
      (an existing picture without -y, the input itself)
  2   a usage error (a format that cannot be told, a name without %d for several frames))";

int run(const FrameOutputOptions& options) {
  // Read top row first, straight into the buffer the picture is written from.
  return writeFrames(options, RGB_TOP_ROW_FIRST,
                     [](const toolkit::Frame& frame, std::string&) { return frame.pixels(); });
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<FrameOutputOptions>();
  cli::addFrameOutputOptions(command, *options, "export");
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command exportCommand() {
  return {"export", "Write frames as PNG, PPM or raw pictures, right way up", declare};
}

}  // namespace commands
}  // namespace rgbtool
