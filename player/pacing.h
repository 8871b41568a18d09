// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The time between two frames from their stamps.
#ifndef RGBPLAY_PACING_H
#define RGBPLAY_PACING_H

#include <cstdint>

namespace rgbplay {

// Stamps count milliseconds within a 10,000-second cycle.
constexpr int64_t kStampCycle = 10000000;

// Milliseconds from stamp a to stamp b, going forward across the wrap of
// the cycle: (b - a) mod 10,000,000, always 0 .. 9,999,999.
constexpr int64_t stampInterval(int32_t a, int32_t b) {
  return ((static_cast<int64_t>(b) - a) % kStampCycle + kStampCycle) % kStampCycle;
}

static_assert(stampInterval(9999800, 200) == 400, "an interval across the wrap");
static_assert(stampInterval(500, 700) == 200, "an interval within the cycle");
static_assert(stampInterval(700, 500) == kStampCycle - 200, "a stamp earlier than the last");

}  // namespace rgbplay

#endif  // RGBPLAY_PACING_H
