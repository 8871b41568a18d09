// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/intervals.h"

#include <algorithm>
#include <cstdio>

namespace rgbtool {
namespace {

constexpr double kMsPerSecond = 1000.0;

}  // namespace

int64_t stampInterval(int32_t from, int32_t to) {
  int64_t d = static_cast<int64_t>(to) - static_cast<int64_t>(from);
  d %= kClockCycleMs;
  if (d > kClockCycleMs / 2) d -= kClockCycleMs;
  if (d <= -kClockCycleMs / 2) d += kClockCycleMs;
  return d;
}

IntervalStats intervalStats(const std::vector<int32_t>& stamps) {
  IntervalStats stats;
  if (stamps.size() < 2) return stats;
  std::vector<int64_t> intervals;
  intervals.reserve(stamps.size() - 1);
  int64_t total = 0;
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    intervals.push_back(stampInterval(stamps[i - 1], stamps[i]));
    total += intervals.back();
  }
  std::sort(intervals.begin(), intervals.end());
  const std::size_t n = intervals.size();
  stats.any = true;
  stats.min = intervals.front();
  stats.max = intervals.back();
  stats.median = n % 2 ? static_cast<double>(intervals[n / 2])
                       : (static_cast<double>(intervals[n / 2 - 1]) +
                          static_cast<double>(intervals[n / 2])) / 2.0;
  if (total > 0) {
    stats.haveRate = true;
    stats.rate = static_cast<double>(n) * kMsPerSecond / static_cast<double>(total);
  }
  return stats;
}

bool IntervalTracker::add(int32_t stamp, int64_t& interval) {
  const bool havePrevious = frames_ > 0;
  if (havePrevious) {
    interval = stampInterval(last_, stamp);
    total_ += interval;
    largest_ = frames_ == 1 ? interval : std::max(largest_, interval);
  }
  last_ = stamp;
  ++frames_;
  return havePrevious;
}

double IntervalTracker::rate() const {
  return static_cast<double>(frames_ - 1) * kMsPerSecond / static_cast<double>(total_);
}

std::string formatMs(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string s = text;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string formatRate(double rate) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", rate);
  return text;
}

}  // namespace rgbtool
