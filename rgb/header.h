// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Internal helpers around the frame header and the clock.
#ifndef RGB_HEADER_H
#define RGB_HEADER_H

#include <cstdint>

#include "rgb/rgb.h"

namespace rgb {

constexpr uint16_t kMagic = 474;
constexpr int kClockCycleSeconds = 10000;

// A header in stream byte order for a written frame: RGB, one byte per
// channel, pixel range 0..255; the time stamp is set per frame.
RGBHeader streamHeader(uint16_t width, uint16_t height);
void setStreamTimestamp(RGBHeader* header, int32_t stamp);

// The clock's value at a given wall-clock time (seconds and microseconds
// since the epoch): milliseconds within the 10,000-second cycle.
int timeStampAt(long long seconds, long long microseconds);

}  // namespace rgb

#endif  // RGB_HEADER_H
