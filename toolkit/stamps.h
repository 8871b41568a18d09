// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Time stamps: milliseconds on a clock that wraps every 10,000 seconds.
//
// Every program measures time between frames here, with one set of rules:
//
// - The difference between two stamps is taken the short way round the
//   cycle, so 9,999,990 -> 30 is +40 ms and 30 -> 9,999,990 is -40 ms. A
//   step of more than half the cycle forward reads as a step back.
// - A step that does not move forward (a repeat, 0, or a step back, < 0) is
//   a stamp fault; check reports it, a video shows such a frame 1 ms after
//   the one before, the player shows it at once.
// - The continuous timeline places frame 0 at 0 ms and every later frame
//   at the time of the frame before plus the step from that frame's stamp,
//   when the step moves forward; a step that does not adds nothing. The
//   timeline therefore never goes back, runs through the wrap of the cycle,
//   and the frames after a fault keep their spacing (a clock set back an
//   hour costs no hour of frames piled on one instant). Durations, rates and
//   selections by time use it.
#ifndef TOOLKIT_STAMPS_H
#define TOOLKIT_STAMPS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace toolkit {

constexpr int64_t kStampCycleMs = 10'000'000;
constexpr int64_t kLastStamp = kStampCycleMs - 1;

// `to` - `from` in milliseconds, the short way round the cycle: within
// (-cycle / 2, cycle / 2].
int64_t stampDelta(int32_t from, int32_t to);

// A time in milliseconds (any value, negative too) as a stamp on the cycle.
int32_t stampOnCycle(int64_t ms);

// The continuous timeline, built frame by frame.
class Timeline {
 public:
  // Adds the next frame's stamp and returns its time, in milliseconds from
  // the first frame.
  int64_t add(int32_t stamp);
  std::size_t frames() const { return frames_; }
  // The time of the last frame added (the duration so far).
  int64_t last() const { return time_; }
  // The step from the frame before to the last one (0 for the first).
  int64_t lastStep() const { return step_; }

 private:
  std::size_t frames_ = 0;
  int32_t stamp_ = 0;
  int64_t time_ = 0;
  int64_t step_ = 0;
};

// Every frame's time on the continuous timeline.
std::vector<int64_t> timelineOf(const int32_t* stamps, std::size_t count);
inline std::vector<int64_t> timelineOf(const std::vector<int32_t>& stamps) {
  return timelineOf(stamps.data(), stamps.size());
}

// The frame shown at time t (ms from the first frame): the last frame whose
// time is at most t; -1 when t lies before the first frame. `times` is a
// timeline (never decreasing).
int64_t frameAt(const std::vector<int64_t>& times, int64_t t);

// The frames whose time lies in [from, to): first index and count.
struct FrameSpan {
  int64_t first = 0;
  int64_t count = 0;
};
FrameSpan framesBetween(const std::vector<int64_t>& times, int64_t from, int64_t to);

// Frames per second of `frames` frames spread over `durationMs`; 0 when
// that is no rate (fewer than two frames, or no time between them).
double meanRate(std::size_t frames, int64_t durationMs);

// A stamp fault: a frame whose stamp does not move forward.
struct StampFault {
  int64_t frame = 0;
  int32_t stamp = 0;
  int32_t previous = 0;
  int64_t step = 0;  // negative: back; 0: a repeat
};
std::vector<StampFault> stampFaults(const std::vector<int32_t>& stamps);
// "frame 3: stamp 1000 ms goes back 40 ms from the previous 1040 ms" or
// "frame 4: stamp 1000 ms repeats the previous frame's".
std::string describe(const StampFault& fault);

// The steps between stamps and the timeline they span.
struct StampStats {
  bool any = false;  // at least two stamps
  int64_t min = 0;   // smallest, median and largest step
  int64_t max = 0;
  double median = 0;
  int64_t durationMs = 0;  // the last frame's time on the timeline
  double rate = 0;         // meanRate over the timeline; 0: none
};
StampStats stampStats(const std::vector<int32_t>& stamps);

// Summary kept while frames arrive one by one.
class StampTracker {
 public:
  // Adds a stamp; returns whether there was a previous one, and the step.
  bool add(int32_t stamp, int64_t& step);
  std::size_t frames() const { return timeline_.frames(); }
  double rate() const { return meanRate(timeline_.frames(), timeline_.last()); }
  bool haveGap() const { return timeline_.frames() > 1; }
  int64_t largestGap() const { return largest_; }
  int64_t durationMs() const { return timeline_.last(); }

 private:
  Timeline timeline_;
  int64_t largest_ = 0;
};

// A time given on a command line, in milliseconds: a decimal number with
// its unit, "12s", "12.5s" or "4500ms" (up to millisecond precision). A bare
// number is refused, since a frame index or the other unit may have been
// meant. On failure error says what was wrong and what is accepted.
bool parseTime(const std::string& text, int64_t& ms, std::string& error);

// 40 -> "40", 40.5 -> "40.5".
std::string formatMs(double value);
// Frames per second with three decimals.
std::string formatRate(double rate);

}  // namespace toolkit

#endif  // TOOLKIT_STAMPS_H
