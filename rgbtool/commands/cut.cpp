// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool cut: some of a stream's frames, byte for byte, into a new stream.
#include <cstdio>
#include <memory>
#include <string>

#include "rgbtool/cli/command_line.h"
#include "rgbtool/cli/options.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/edit/edited_output.h"
#include "rgbtool/edit/frame_feed.h"
#include "rgbtool/report/diagnostics.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

struct Options {
  std::string in;
  std::string out;
  int64_t start = 0;
  int64_t count = -1;  // -1: to the end
  int64_t step = 1;
  std::string from;  // times as given; empty: not given
  std::string to;
  bool overwrite = false;
};

constexpr const char* kFooter = R"(Frames are chosen by index (--start, --count, --step) or by time (--from,
--to), not both. Times are on the stream's continuous timeline: frame 0 is at
0 ms, every later frame at the time before it plus the step between their
stamps, across the wrap of the 10,000 s stamp cycle; --from is inclusive,
--to exclusive.

Frames are copied as they are, header and stamp included (RGBA too); runs of
frames of a file are copied by the kernel without passing through rgbtool.
OUT is written under a temporary name and renamed into place when complete.

A range that runs past the end of IN takes the frames there are and says on
stderr how many were asked for and how many exist (exit status 0); a range
with no frame in it fails. A damaged IN is cut up to the damage: a range
that reaches it fails ('rgbtool repair' keeps every whole frame).

Examples:
  $ rgbtool cut --start 100 --count 50 recording.rgb part.rgb
  $ rgbtool cut --step 2 recording.rgb half-rate.rgb
  $ rgbtool cut --from 12.5s --to 20s recording.rgb scene.rgb
  $ cat recording.rgb | rgbtool cut --count 10 - - > first10.rgb

Exit status:
  0   OUT holds the frames asked for, or those of them IN has
  1   IN cannot be read, no frame lies in the range, the range reaches damage,
      or OUT cannot be written (an existing file without -y, IN itself)
  2   a usage error)";

std::string framesWords(int64_t n) {
  return std::to_string(n) + (n == 1 ? " frame" : " frames");
}

// What the options ask for, frame by frame.
class Selection {
 public:
  explicit Selection(const Options& options) : options_(options) {}
  bool byTime() const { return !options_.from.empty() || !options_.to.empty(); }

  // Reads the times; false after reporting a usage error.
  bool parseTimes(int& status) {
    std::string error;
    if (!options_.from.empty() && !toolkit::parseTime(options_.from, fromMs_, error))
      return fail(status, "--from: " + error);
    if (!options_.to.empty() && !toolkit::parseTime(options_.to, toMs_, error))
      return fail(status, "--to: " + error);
    if (fromMs_ < 0 || (haveTo() && toMs_ <= fromMs_))
      return fail(status, "--from must be 0 or later and before --to");
    return true;
  }

  edit::Choice choose(int64_t index, int64_t timeMs) const {
    if (byTime()) {
      if (haveTo() && timeMs >= toMs_) return edit::Choice::Stop;
      return timeMs >= fromMs_ ? edit::Choice::Take : edit::Choice::Skip;
    }
    if (index < options_.start) return edit::Choice::Skip;
    const int64_t into = index - options_.start;
    if (options_.count >= 0 && into / options_.step >= options_.count) return edit::Choice::Stop;
    return into % options_.step == 0 ? edit::Choice::Take : edit::Choice::Skip;
  }

  // The range in words, for the message when IN falls short of it.
  std::string asked() const {
    if (byTime()) {
      return "frames from " + std::to_string(fromMs_) + " ms" +
             (haveTo() ? " to " + std::to_string(toMs_) + " ms" : std::string());
    }
    std::string words = options_.count >= 0 ? framesWords(options_.count) : "frames";
    words += " from frame " + std::to_string(options_.start);
    if (options_.step > 1) words += ", one in " + std::to_string(options_.step);
    return words;
  }

  // IN ended before the range did: worth a word when the range had an end.
  bool endedEarly(const edit::FeedResult& result) const {
    if (result.stopped) return false;
    return byTime() ? haveTo() : options_.count >= 0;
  }

 private:
  bool haveTo() const { return !options_.to.empty(); }
  static bool fail(int& status, const std::string& words) {
    status = cli::usageError(words);
    return false;
  }

  const Options& options_;
  int64_t fromMs_ = 0;
  int64_t toMs_ = 0;
};

int run(const Options& options) {
  Selection selection(options);
  int status = kExitOk;
  if (!selection.parseTimes(status)) return status;
  edit::RawInput in;
  if (!in.open(options.in)) {
    report(options.in + ": " + in.error());
    return kExitFailure;
  }
  edit::EditedOutput out;
  if (!out.open(options.out, options.overwrite, {options.in})) return kExitFailure;
  edit::FeedResult result;
  const edit::Chooser choose = [&selection](int64_t index, int64_t timeMs,
                                            const rgb_frame_info&) {
    return selection.choose(index, timeMs);
  };
  if (!edit::feedFrames(in, out.fd(), choose, nullptr, result)) {
    report(options.in + ": " + result.error);
    return kExitFailure;
  }
  if (!result.damage.empty()) {
    report(options.in + ": " + result.damage + "; the range reaches past it (rgbtool repair "
           "keeps every whole frame)");
    return kExitFailure;
  }
  if (result.taken == 0) {
    report(options.in + ": no frame in the range: asked for " + selection.asked() +
           ", the stream has " + framesWords(result.seen));
    return kExitFailure;
  }
  if (selection.endedEarly(result)) {
    report(options.in + ": warning: asked for " + selection.asked() + ", the stream has " +
           framesWords(result.seen) + "; " + options.out + " has the " +
           framesWords(result.taken) + " there are");
  }
  if (!out.commit()) return kExitFailure;
  report(options.out + ": " + framesWords(result.taken) + " from " + options.in);
  return kExitOk;
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  auto* start = command.add_option("--start", options->start, "First frame (default 0)");
  start->check(cli::wholeNumber(0, cli::kMaxFrameNumber, "frames"));
  auto* count = command.add_option("--count", options->count,
                                   "Frames to take at most (default: up to the end)");
  count->check(cli::wholeNumber(1, cli::kMaxFrameNumber, "frames"));
  auto* step = command.add_option("--step", options->step, "Every Nth frame (default 1)");
  step->check(cli::wholeNumber(1, cli::kMaxFrameNumber, "frames"));
  auto* from = command.add_option(
      "--from", options->from,
      "First time on the stream's timeline, from its first frame (12s, 12.5s, 4500ms)");
  auto* to = command.add_option("--to", options->to,
                                "Time at which the range ends (exclusive; default: the end)");
  for (CLI::Option* byIndex : {start, count, step}) {
    byIndex->excludes(from);
    byIndex->excludes(to);
  }
  command.add_flag("-y,--overwrite", options->overwrite, "Replace OUT if it exists");
  command.add_option("IN", options->in, "The stream to cut (- reads standard input)")
      ->required();
  command.add_option("OUT", options->out, "The new stream (- writes standard output)")
      ->required();
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command cutCommand() {
  return {"cut", "Copy frames chosen by index or time into a new stream, stamps and all",
          declare};
}

}  // namespace commands
}  // namespace rgbtool
