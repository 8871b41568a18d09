// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Time stamps run on a millisecond clock that wraps every 10,000 seconds.
// Intervals between frames are taken across the wrap.
#ifndef RGBTOOL_INTERVALS_H
#define RGBTOOL_INTERVALS_H

#include <cstdint>
#include <string>
#include <vector>

namespace rgbtool {

constexpr int64_t kClockCycleMs = 10'000'000;

// Milliseconds from stamp `from` to stamp `to`, taking the nearer of the
// two readings around the cycle: 9,999,990 to 30 is 40, and a stamp slightly
// earlier than its predecessor gives a small negative interval.
int64_t stampInterval(int32_t from, int32_t to);

struct IntervalStats {
  bool any = false;  // at least two stamps
  int64_t min = 0;
  int64_t max = 0;
  double median = 0;
  bool haveRate = false;  // intervals add up to a positive time
  double rate = 0;        // frames per second
};

IntervalStats intervalStats(const std::vector<int32_t>& stamps);

// Summary kept while frames arrive one by one.
class IntervalTracker {
 public:
  // Adds a stamp; returns whether there was a previous one, and its interval.
  bool add(int32_t stamp, int64_t& interval);
  uint64_t frames() const { return frames_; }
  bool haveRate() const { return frames_ > 1 && total_ > 0; }
  double rate() const;
  bool haveGap() const { return frames_ > 1; }
  int64_t largestGap() const { return largest_; }

 private:
  uint64_t frames_ = 0;
  int32_t last_ = 0;
  int64_t total_ = 0;
  int64_t largest_ = 0;
};

// 40 -> "40", 40.5 -> "40.5".
std::string formatMs(double value);
// Frames per second with three decimals.
std::string formatRate(double rate);

}  // namespace rgbtool

#endif  // RGBTOOL_INTERVALS_H
