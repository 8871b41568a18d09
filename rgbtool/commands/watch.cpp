// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool watch: follow a live stream frame by frame until its producer
// closes it, or a growing file until interrupted.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "rgbtool/commands/registry.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/report/json.h"
#include "toolkit/frame_source.h"
#include "toolkit/marking.h"
#include "toolkit/signals.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

struct Options {
  std::string pipe;
  bool json = false;
  bool follow = false;     // a regular file that grows, until interrupted
  bool fromStart = false;  // with follow: its frames so far first
};

constexpr const char* kFooter = R"(--json prints one object per line and frame, flushed, then one for the summary.

JSON keys:
  frame               the frame's number in the stream, from 0
  stamp_ms            its stamp
  interval_ms         the step from the frame before (null for the first seen)
  marked_pixels       pixels the region-of-interest marking marks
  summary             the last line: {"frames", "frame_rate", "duration_ms",
                      "max_interval_ms"}, named as in 'rgbtool info --json', over the
                      frames seen; null where the frames seen give no such figure

Examples:
  $ mkfifo live; rgbtool watch live & producer live
  $ rgbtool watch --follow --json recording.rgb
  $ rgbtool watch --follow --from-start recording.rgb

Exit status:
  0   the producer closed the stream between frames, or --follow was interrupted
  1   the stream cannot be read or is damaged (the summary is still printed)
  2   a usage error, or --follow on something other than a regular file)";

// How often a followed file is looked at again once it has no new frame.
constexpr std::chrono::milliseconds kFollowPause{100};

// The display image buffer, grown as needed.
class Display {
 public:
  unsigned char* fit(std::size_t bytes) {
    if (!pixels_ || bytes > capacity_) {
      pixels_.reset(static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1)));
      capacity_ = pixels_ ? bytes : 0;
    }
    if (pixels_) std::memset(pixels_.get(), 0, bytes);
    return pixels_.get();
  }

 private:
  toolkit::Pixels pixels_;
  std::size_t capacity_ = 0;
};

void printSummary(const toolkit::StampTracker& tracker, bool json) {
  if (json) {
    Json summary = Json::object();
    summary["frames"] = tracker.frames();
    summary["frame_rate"] = rateJson(tracker.rate());
    summary["duration_ms"] = tracker.frames() > 0 ? Json(tracker.durationMs()) : Json(nullptr);
    summary["max_interval_ms"] = tracker.haveGap() ? Json(tracker.largestGap()) : Json(nullptr);
    printJsonLine({{"summary", summary}});
    return;
  }
  std::printf("frames: %llu, mean rate: ", static_cast<unsigned long long>(tracker.frames()));
  if (tracker.rate() > 0) {
    std::printf("%s fps", toolkit::formatRate(tracker.rate()).c_str());
  } else {
    std::printf("n/a");
  }
  if (tracker.haveGap()) {
    std::printf(", largest gap: %lld ms\n", static_cast<long long>(tracker.largestGap()));
  } else {
    std::printf(", largest gap: n/a\n");
  }
}

void printFrame(const toolkit::Frame& frame, bool haveInterval, int64_t interval, std::size_t marked,
                bool json) {
  if (json) {
    printJsonLine({{"frame", frame.index()},
                   {"stamp_ms", frame.stamp()},
                   {"interval_ms", haveInterval ? Json(interval) : Json(nullptr)},
                   {"marked_pixels", marked}});
    return;
  }
  std::printf("frame %lld: stamp %d ms", static_cast<long long>(frame.index()), frame.stamp());
  if (haveInterval) std::printf(", interval %lld ms", static_cast<long long>(interval));
  std::printf(", %zu marked pixels\n", marked);
  // Lines must show as the frames arrive, also when stdout is a pipe.
  std::fflush(stdout);
}

// A followed file starts at its current end unless --from-start.
bool startFollowing(toolkit::FrameSource& source, const Options& options) {
  if (options.fromStart) return true;
  int64_t frames = 0;
  uint64_t stray = 0;
  return source.count(frames, stray) &&
         source.seek(frames) != toolkit::FrameSource::Read::Failed;
}

int run(const Options& options) {
  // The marking works on frames as stored, bottom row first.
  toolkit::FrameSource source(0);
  if (!source.open(options.pipe)) {
    report(options.pipe + ": " + source.error());
    return kExitFailure;
  }
  const auto stopped = [] { return toolkit::signals::finishRequested(); };
  if (options.follow) {
    if (!source.seekable()) {
      report(options.pipe + ": --follow needs a regular file (a pipe is followed anyway)");
      return kExitUsage;
    }
    if (!startFollowing(source, options)) {
      report(options.pipe + ": " + source.error());
      return kExitFailure;
    }
    // Following ends on an interrupt with the summary, as a pipe's end would.
    toolkit::signals::finishOn({SIGINT, SIGTERM, SIGHUP});
  }
  toolkit::StampTracker tracker;
  Display display;
  int status = kExitOk;
  toolkit::Frame frame;
  for (;;) {
    const toolkit::FrameSource::Read got =
        options.follow ? source.follow(frame, stopped, kFollowPause) : source.next(frame);
    if (got == toolkit::FrameSource::Read::End || got == toolkit::FrameSource::Read::Stopped)
      break;
    if (got == toolkit::FrameSource::Read::Failed) {
      report(options.pipe + ": " + source.error());
      status = kExitFailure;
      break;
    }
    unsigned char* picture = display.fit(frame.bytes());
    if (!picture) {
      report(options.pipe + ": out of memory for the display image");
      status = kExitFailure;
      break;
    }
    const std::size_t marked =
        toolkit::markRegionOfInterest(frame.pixels(), frame.width(), frame.height(), picture);
    int64_t interval = 0;
    const bool haveInterval = tracker.add(frame.stamp(), interval);
    printFrame(frame, haveInterval, interval, marked, options.json);
  }
  printSummary(tracker, options.json);
  return status;
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  command.add_flag("--json", options->json,
                   "One JSON object per line for each frame, then one for the summary (keys "
                   "below)");
  auto* follow = command.add_flag(
      "--follow", options->follow,
      "PIPE is a regular file that grows: wait for new frames (from its current end) until "
      "interrupted");
  command.add_flag("--from-start", options->fromStart, "With --follow: from the first frame")
      ->needs(follow);
  command.add_option("PIPE", options->pipe, "Named pipe (- reads standard input)")->required();
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command watchCommand() {
  return {"watch", "Print a line per frame arriving on a named pipe, then a summary", declare};
}

}  // namespace commands
}  // namespace rgbtool
