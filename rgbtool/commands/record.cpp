// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool record: frames from a camera, a screen, a video file or any other
// input FFmpeg's libraries open, into a stream or a FIFO as they arrive.
// The capture runs in the helper program rgbtool-media, so that only this
// command loads FFmpeg's libraries.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/cli/options.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/media/helper_program.h"
#include "rgbtool/media/recorder.h"
#include "rgbtool/report/diagnostics.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

constexpr const char* kFooter = R"(Each frame's stamp is the input's presentation time, counted from the first
frame and added to the first stamp (default: the clock at start), on the
10,000-second cycle. Frames are appended to OUT (made when missing, as import
does) one by one as they arrive, so a FIFO's reader sees them live. Ctrl-C
(SIGINT) or SIGTERM ends the recording with every whole frame captured kept;
a second one stops at once and undoes the recording.

Examples:
  $ rgbtool record -f v4l2 --size 640x480 --rate 30 /dev/video0 camera.rgb
  $ rgbtool record -f x11grab --size 1280x720 --rate 25 --duration 10s :0.0 screen.rgb
  $ rgbtool record -f x11grab -o draw_mouse=0 --frames 1 :0.0 still.rgb
  $ rgbtool record -f lavfi --frames 100 testsrc=size=320x240:rate=25 test.rgb
  $ rgbtool record clip.mkv clip.rgb
  $ mkfifo live; rgbplay live & rgbtool record -f v4l2 /dev/video0 live

Exit status:
  0   the recording ended (a limit, the input's end, or Ctrl-C) with its frames in OUT
  1   the input cannot be opened or read, or OUT cannot be written
  2   a usage error)";

struct Options {
  RecordOptions record;
  std::string duration;
};

int launch(Options& options) {
  if (!options.duration.empty()) {
    std::string error;
    if (!toolkit::parseTime(options.duration, options.record.durationMs, error)) {
      report("--duration: " + error);
      return kExitUsage;
    }
  }
  const RecordOptions& r = options.record;
  std::vector<std::string> words{"record", r.input, r.out, r.format, r.size, r.rate,
                                 std::to_string(r.frames), std::to_string(r.durationMs),
                                 std::to_string(r.firstStamp)};
  words.insert(words.end(), r.inputOptions.begin(), r.inputOptions.end());
  return execHelper("rgbtool-media", std::move(words));
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  RecordOptions& r = options->record;
  command.add_option("-f,--format", r.format,
                     "FFmpeg's input format: v4l2 (camera), x11grab (screen), lavfi (a filter "
                     "source such as testsrc), or any other (default: told from the input)");
  command.add_option("--size", r.size, "Picture size the input is asked for, WIDTHxHEIGHT");
  command.add_option("--rate", r.rate, "Frame rate the input is asked for, frames per second");
  command.add_option("-o,--input-option", r.inputOptions,
                     "Any other option of the input as KEY=VALUE, e.g. draw_mouse=0 for x11grab, "
                     "input_format=mjpeg for v4l2 (repeatable)")
      ->allow_extra_args(false);
  command.add_option("--frames", r.frames, "Stop after this many frames")
      ->check(cli::wholeNumber(1, cli::kMaxFrameNumber, "frames"));
  command.add_option("--duration", options->duration,
                     "Stop at this much input time after the first frame, as 12s, 2.5s or 400ms");
  command.add_option("--first-stamp", r.firstStamp,
                     "Stamp of the first frame in ms (default: the clock at start)")
      ->check(cli::wholeNumber(0, toolkit::kLastStamp, "milliseconds"));
  command.add_option("INPUT", r.input,
                     "What to record: a device (/dev/video0), a display (:0.0), a video file, a "
                     "lavfi source description")
      ->required();
  command.add_option("OUT", r.out, "Stream to append to, or a FIFO (- for stdout)")->required();
  command.footer(kFooter);
  return [options] { return launch(*options); };
}

}  // namespace

namespace commands {

cli::Command recordCommand() {
  return {"record", "Record a camera, a screen, a video file or a test source into a stream",
          declare};
}

}  // namespace commands
}  // namespace rgbtool
