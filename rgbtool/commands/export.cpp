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
  $ rgbtool export --all --stamps frames/stamps.csv demo.rgb 'frames/f%04d.png'
  $ rgbtool export --all demo.rgb 'frames/f%04d_{stamp}.png'

Exit status:
  0   every frame asked for was written (and the stamps file, with --stamps)
  1   the stream cannot be read, has no such frame, or a picture cannot be written
      (an existing picture without -y, the input itself), or --count asked for more
      frames than the stream has after --start (those it has are written))
  2   a usage error (a format that cannot be told, a name without %d for several frames))";

int run(const FrameOutputOptions& options) {
  // Read top row first, straight into the buffer the picture is written from.
  return writeFrames(options, RGB_TOP_ROW_FIRST,
                     [](const toolkit::Frame& frame, std::string&) { return frame.pixels(); });
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<FrameOutputOptions>();
  cli::addFrameOutputOptions(command, *options, "export");
  command.add_option("--stamps", options->stamps,
                     "Also write the frames' stamps to this .csv or .json file: frame, "
                     "stamp_ms and file for each picture, for import --stamps");
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command exportCommand() {
  return {"export", "Write frames as PNG, PPM, TIFF or raw pictures, right way up", declare};
}

}  // namespace commands
}  // namespace rgbtool
