// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// `rgbtool video` runs the encoder as a program of its own, rgbtool-video:
// linking FFmpeg's libraries into rgbtool would make every other command
// load some 130 shared libraries at start, several times the work of a
// whole export.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/cli/options.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/media/helper_program.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/video/encoder.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

constexpr int kMaxCrf = 51;

constexpr const char* kFooter = R"(Frame times are the recorded stamps, counted from the first frame across the
10,000 s wrap; a frame stamped no later than the one before is shown 1 ms after
it, and the frames after it keep their spacing; a note counts such frames as
'rgbtool check' does. Files, named pipes and - are encoded as frames arrive.
An existing OUT is replaced only with -y; the input never.

Examples:
  $ rgbtool video recording.rgb out.mp4
  $ rgbtool video --codec ffv1 recording.rgb out.mkv
  $ rgbtool video --codec libx264rgb --crf 0 recording.rgb out.mp4
  $ rgbtool video --codec libvpx-vp9 recording.rgb out.webm
  $ rgbtool video --duration 60s live.fifo minute.mkv

Exit status:
  0   the video was written
  1   the stream cannot be read or is damaged, or the video cannot be written (a
      container that cannot hold the codec, an existing OUT without -y, the input)
  2   a usage error)";

// Runs the encoder program in place of this process.
int launch(const VideoOptions& options) {
  return execHelper("rgbtool-video",
                    {options.file, options.out, std::to_string(options.crf),
                     options.crfGiven ? "1" : "0", options.codec, options.overwrite ? "1" : "0",
                     std::to_string(options.frames), std::to_string(options.durationMs)});
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<VideoOptions>();
  auto* crf = command.add_option("--crf", options->crf,
                                 "Quality for x264-like encoders, 0 = lossless (default 23)");
  crf->check(CLI::Range(0, kMaxCrf));
  command.add_option("--codec", options->codec,
                     "FFmpeg encoder, e.g. libx264, libx264rgb, ffv1 or libvpx-vp9 (default: "
                     "H.264)");
  command.add_flag("-y,--overwrite", options->overwrite, "Replace an existing OUT");
  command.add_option("--frames", options->frames, "Encode at most this many frames")
      ->check(cli::wholeNumber(1, cli::kMaxFrameNumber, "frames"));
  auto duration = std::make_shared<std::string>();
  command.add_option("--duration", *duration,
                     "Encode the frames up to this far after the first on the stream's timeline, "
                     "as 12s, 2.5s or 400ms");
  command.add_option("FILE", options->file, "Frame stream (- reads standard input)")
      ->required();
  command
      .add_option("OUT", options->out,
                  "Video to write: .mp4, .mkv, .mov or .webm (the name picks the container: "
                  "MP4, Matroska, QuickTime or WebM; WebM holds VP8, VP9 or AV1 video)")
      ->required();
  command.footer(kFooter);
  return [options, crf, duration] {
    options->crfGiven = crf->count() > 0;
    std::string error;
    if (!duration->empty() && !toolkit::parseTime(*duration, options->durationMs, error)) {
      report("--duration: " + error);
      return kExitUsage;
    }
    return launch(*options);
  };
}

}  // namespace

namespace commands {

cli::Command videoCommand() {
  return {"video", "Encode a stream as a video whose frame times are the recorded stamps",
          declare};
}

}  // namespace commands
}  // namespace rgbtool
