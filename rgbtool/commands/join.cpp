// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool join: streams one after another, byte for byte, into a new stream.
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/commands/registry.h"
#include "rgbtool/edit/edited_output.h"
#include "rgbtool/edit/frame_feed.h"
#include "rgbtool/report/diagnostics.h"
#include "toolkit/frame.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

struct Options {
  std::string out;
  std::vector<std::string> inputs;
  bool overwrite = false;
};

constexpr const char* kFooter = R"(Every frame of every IN, in the order given, copied as it is (header and
stamp included). The streams must have one frame size: another size is
refused, naming the file and both sizes. A damaged IN is refused ('rgbtool
repair' makes a clean stream of it). Where a stream's first stamp does not
come after the last stamp of the stream before it, a warning names the seam,
the two files and their stamps; the frames are joined all the same (players
and 'rgbtool video' show such a frame right after the one before).
OUT is written under a temporary name and renamed into place when complete.

Examples:
  $ rgbtool join whole.rgb part1.rgb part2.rgb part3.rgb
  $ rgbtool join -y both.rgb morning.rgb afternoon.rgb

Exit status:
  0   OUT holds every frame of every IN
  1   an IN cannot be read, is damaged or has another frame size, no IN has a
      frame, or OUT cannot be written (an existing file without -y, one of the INs)
  2   a usage error)";

std::string framesWords(int64_t n) {
  return std::to_string(n) + (n == 1 ? " frame" : " frames");
}

// The stream before a seam: its name and its last stamp.
struct Before {
  bool any = false;
  std::string file;
  int32_t lastStamp = 0;
};

void warnSeam(std::size_t seam, const Before& before, const std::string& file, int32_t first) {
  const int64_t step = toolkit::stampDelta(before.lastStamp, first);
  if (step > 0) return;
  const std::string how =
      step == 0 ? "repeats" : "goes back " + std::to_string(-step) + " ms from";
  report("warning: seam " + std::to_string(seam) + ": " + file + "'s first stamp " +
         std::to_string(first) + " ms " + how + " " + before.file + "'s last stamp " +
         std::to_string(before.lastStamp) + " ms");
}

int run(const Options& options) {
  edit::EditedOutput out;
  if (!out.open(options.out, options.overwrite, options.inputs)) return kExitFailure;
  bool haveShape = false;
  rgb_frame_info shape{};
  std::string shapeFile;
  Before before;
  int64_t frames = 0;
  const edit::Chooser takeAll = [](int64_t, int64_t, const rgb_frame_info&) {
    return edit::Choice::Take;
  };
  for (std::size_t i = 0; i < options.inputs.size(); ++i) {
    const std::string& file = options.inputs[i];
    edit::RawInput in;
    if (!in.open(file)) {
      report(file + ": " + in.error());
      return kExitFailure;
    }
    edit::FeedResult result;
    if (!edit::feedFrames(in, out.fd(), takeAll, haveShape ? &shape : nullptr, result)) {
      if (result.otherShape) {
        report(file + ": frames of " + toolkit::describeShape(result.shape) + ", not " +
               shapeFile + "'s " + toolkit::describeShape(shape) +
               " (a stream has one frame size)");
      } else {
        report(file + ": " + result.error);
      }
      return kExitFailure;
    }
    if (!result.damage.empty()) {
      report(file + ": " + result.damage + " (rgbtool repair makes a clean stream of it)");
      return kExitFailure;
    }
    if (result.taken == 0) {
      report(file + ": warning: no frame to join");
      continue;
    }
    if (!haveShape) {
      haveShape = true;
      shape = result.shape;
      shapeFile = file;
    }
    if (before.any) warnSeam(i, before, file, result.firstTakenStamp);
    before = {true, file, result.lastTakenStamp};
    frames += result.taken;
  }
  if (frames == 0) {
    report(options.out + ": not written: no IN has a frame");
    return kExitFailure;
  }
  if (!out.commit()) return kExitFailure;
  report(options.out + ": " + framesWords(frames) + " from " +
         std::to_string(options.inputs.size()) + " streams");
  return kExitOk;
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  command.add_flag("-y,--overwrite", options->overwrite, "Replace OUT if it exists");
  command.add_option("OUT", options->out, "The new stream (- writes standard output)")
      ->required();
  command.add_option("IN", options->inputs, "The streams, in order (- reads standard input)")
      ->required();
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command joinCommand() {
  return {"join", "Join streams of one frame size into a new stream, stamps and all", declare};
}

}  // namespace commands
}  // namespace rgbtool
