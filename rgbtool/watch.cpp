// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool watch: follow a live stream frame by frame until its producer
// closes it, or a growing file until interrupted.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/frame_reader.h"
#include "toolkit/stamps.h"
#include "rgbtool/json.h"
#include "toolkit/marking.h"

namespace rgbtool {
namespace {

constexpr std::size_t kChannels = 3;
// How often a followed file is looked at again once it has no new frame.
constexpr int kFollowPauseMs = 100;

volatile sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }
bool stopped() { return stopRequested != 0; }

// Following ends on an interrupt with the summary, as a pipe's end would.
void stopOnSignals() {
  struct sigaction action {};
  action.sa_handler = requestStop;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

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
  Pixels pixels_;
  std::size_t capacity_ = 0;
};

void printSummary(const toolkit::StampTracker& tracker, bool json) {
  if (json) {
    Json summary = Json::object();
    summary["frames"] = tracker.frames();
    summary["mean_rate"] = tracker.rate() > 0 ? Json(tracker.rate()) : Json(nullptr);
    summary["largest_gap_ms"] = tracker.haveGap() ? Json(tracker.largestGap()) : Json(nullptr);
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

void printFrame(const Frame& frame, bool haveInterval, int64_t interval, std::size_t marked,
                bool json) {
  if (json) {
    printJsonLine({{"frame", frame.index},
                   {"stamp_ms", frame.stamp},
                   {"interval_ms", haveInterval ? Json(interval) : Json(nullptr)},
                   {"marked_pixels", marked}});
    return;
  }
  std::printf("frame %lld: stamp %d ms", static_cast<long long>(frame.index), frame.stamp);
  if (haveInterval) std::printf(", interval %lld ms", static_cast<long long>(interval));
  std::printf(", %zu marked pixels\n", marked);
  // Lines must show as the frames arrive, also when stdout is a pipe.
  std::fflush(stdout);
}

}  // namespace

int runWatch(const WatchOptions& options) {
  // The marking works on frames as stored, bottom row first.
  FrameReader reader(options.pipe, FrameReader::Rows::BottomFirst);
  if (!reader.open(options.pipe)) return kExitFailure;
  if (options.follow) {
    if (!reader.seekable()) {
      report(options.pipe + ": --follow needs a regular file (a pipe is followed anyway)");
      return kExitUsage;
    }
    if (!options.fromStart && !reader.skipToEnd()) return kExitFailure;
    stopOnSignals();
  }
  toolkit::StampTracker tracker;
  Display display;
  int status = kExitOk;
  Frame frame;
  for (;;) {
    const FrameReader::Status got =
        options.follow ? reader.follow(frame, stopped, kFollowPauseMs) : reader.next(frame);
    if (got == FrameReader::Status::End) break;
    if (got == FrameReader::Status::Failed) {
      status = kExitFailure;
      break;
    }
    const std::size_t bytes = kChannels * static_cast<std::size_t>(frame.width) *
                              static_cast<std::size_t>(frame.height);
    unsigned char* picture = display.fit(bytes);
    if (!picture) {
      report(options.pipe + ": out of memory for the display image");
      status = kExitFailure;
      break;
    }
    const std::size_t marked =
        toolkit::markRegionOfInterest(frame.pixels.get(), frame.width, frame.height, picture);
    int64_t interval = 0;
    const bool haveInterval = tracker.add(frame.stamp, interval);
    printFrame(frame, haveInterval, interval, marked, options.json);
  }
  printSummary(tracker, options.json);
  return status;
}

}  // namespace rgbtool
