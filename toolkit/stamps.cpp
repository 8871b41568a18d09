// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/stamps.h"

#include <algorithm>
#include <cstdio>

namespace toolkit {
namespace {

constexpr double kMsPerSecond = 1000.0;

}  // namespace

int64_t stampDelta(int32_t from, int32_t to) {
  int64_t d = (static_cast<int64_t>(to) - static_cast<int64_t>(from)) % kStampCycleMs;
  if (d > kStampCycleMs / 2) d -= kStampCycleMs;
  if (d <= -kStampCycleMs / 2) d += kStampCycleMs;
  return d;
}

int32_t stampOnCycle(int64_t ms) {
  const int64_t wrapped = ms % kStampCycleMs;
  return static_cast<int32_t>(wrapped < 0 ? wrapped + kStampCycleMs : wrapped);
}

int64_t Timeline::add(int32_t stamp) {
  step_ = frames_ == 0 ? 0 : stampDelta(stamp_, stamp);
  if (step_ > 0) time_ += step_;
  stamp_ = stamp;
  ++frames_;
  return time_;
}

std::vector<int64_t> timelineOf(const int32_t* stamps, std::size_t count) {
  std::vector<int64_t> times(count);
  Timeline timeline;
  for (std::size_t i = 0; i < count; ++i) times[i] = timeline.add(stamps[i]);
  return times;
}

int64_t frameAt(const std::vector<int64_t>& times, int64_t t) {
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  return static_cast<int64_t>(after - times.begin()) - 1;
}

FrameSpan framesBetween(const std::vector<int64_t>& times, int64_t from, int64_t to) {
  const auto first = std::lower_bound(times.begin(), times.end(), from);
  const auto last = to <= from ? first : std::lower_bound(first, times.end(), to);
  return {static_cast<int64_t>(first - times.begin()), static_cast<int64_t>(last - first)};
}

double meanRate(std::size_t frames, int64_t durationMs) {
  if (frames < 2 || durationMs <= 0) return 0;
  return static_cast<double>(frames - 1) * kMsPerSecond / static_cast<double>(durationMs);
}

std::vector<StampFault> stampFaults(const std::vector<int32_t>& stamps) {
  std::vector<StampFault> faults;
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const int64_t step = stampDelta(stamps[i - 1], stamps[i]);
    if (step <= 0) faults.push_back({static_cast<int64_t>(i), stamps[i], stamps[i - 1], step});
  }
  return faults;
}

std::string describe(const StampFault& fault) {
  std::string text =
      "frame " + std::to_string(fault.frame) + ": stamp " + std::to_string(fault.stamp) + " ms";
  if (fault.step == 0) return text + " repeats the previous frame's";
  return text + " goes back " + std::to_string(-fault.step) + " ms from the previous " +
         std::to_string(fault.previous) + " ms";
}

StampStats stampStats(const std::vector<int32_t>& stamps) {
  StampStats stats;
  if (stamps.size() < 2) return stats;
  std::vector<int64_t> steps;
  steps.reserve(stamps.size() - 1);
  Timeline timeline;
  timeline.add(stamps[0]);
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    timeline.add(stamps[i]);
    steps.push_back(timeline.lastStep());
  }
  std::sort(steps.begin(), steps.end());
  const std::size_t n = steps.size();
  stats.any = true;
  stats.min = steps.front();
  stats.max = steps.back();
  stats.median = n % 2 ? static_cast<double>(steps[n / 2])
                       : (static_cast<double>(steps[n / 2 - 1]) +
                          static_cast<double>(steps[n / 2])) / 2.0;
  stats.durationMs = timeline.last();
  stats.rate = meanRate(stamps.size(), stats.durationMs);
  return stats;
}

bool StampTracker::add(int32_t stamp, int64_t& step) {
  const bool havePrevious = timeline_.frames() > 0;
  timeline_.add(stamp);
  if (havePrevious) {
    step = timeline_.lastStep();
    largest_ = timeline_.frames() == 2 ? step : std::max(largest_, step);
  }
  return havePrevious;
}

bool parseTime(const std::string& text, int64_t& ms, std::string& error) {
  constexpr int64_t kMaxMs = int64_t{1} << 53;  // beyond any recording, exact in a double
  const auto fail = [&](const std::string& why) {
    error = "'" + text + "' " + why + " (a time is a number with its unit: 12s, 12.5s or 4500ms)";
    return false;
  };
  std::size_t digitsEnd = 0;
  while (digitsEnd < text.size() &&
         ((text[digitsEnd] >= '0' && text[digitsEnd] <= '9') || text[digitsEnd] == '.'))
    ++digitsEnd;
  const std::string number = text.substr(0, digitsEnd);
  const std::string unit = text.substr(digitsEnd);
  const std::size_t dot = number.find('.');
  const std::string whole = number.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? "" : number.substr(dot + 1);
  if (whole.empty() || fraction.find('.') != std::string::npos ||
      (dot != std::string::npos && fraction.empty()))
    return fail("is not a time");
  if (unit != "s" && unit != "ms")
    return fail(unit.empty() ? "has no unit" : "has an unknown unit");
  const int64_t scale = unit == "s" ? 1000 : 1;
  const std::size_t places = unit == "s" ? 3 : 0;
  if (fraction.size() > places) return fail("is more precise than a millisecond");
  if (whole.size() > 15) return fail("is too large");
  int64_t value = std::stoll(whole) * scale;
  int64_t fractionScale = scale;
  for (const char digit : fraction) {
    fractionScale /= 10;
    value += (digit - '0') * fractionScale;
  }
  if (value > kMaxMs) return fail("is too large");
  ms = value;
  return true;
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

}  // namespace toolkit
