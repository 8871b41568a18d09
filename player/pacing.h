// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// How long each frame waits for its turn. The stamps' own rules (the cycle,
// the step the short way round, the continuous timeline) are toolkit's;
// what the player adds is what a window must do with the steps it gets.
#ifndef RGBPLAY_PACING_H
#define RGBPLAY_PACING_H

#include <cstdint>

namespace rgbplay {

// A step between two stamps longer than this is a jump: a pause in the
// recording, or a clock set forward. It is played as this long (at speed
// 1) and marked in the title, so the window never sits still for minutes
// looking hung. 5 s is well above the interval of any recording made at
// one frame every few seconds or faster, which therefore keeps its pace.
constexpr int64_t kJumpCapMs = 5000;
// The seek keys move this far along the timeline.
constexpr int64_t kSeekStepMs = 5000;
// How long the last frame is shown (before the end, a loop or a damaged
// frame) when no step before it tells its time: a stream's only frame.
constexpr double kDefaultHoldMs = 1000;

// The wait in stream milliseconds (before the speed applies) between a
// frame and the next one, whose stamp is `step` ms after its own: the step
// itself, nothing for a stamp that goes back or repeats, the cap for a
// jump; or the fixed interval of `fps` when that is above 0.
double waitBefore(int64_t step, double fps);

// Whether a frame whose stamp moved `step` ms from the one before came
// after a jump (played shorter than the stamps say).
constexpr bool isJump(int64_t step) { return step > kJumpCapMs; }

// Whether frame `index` with that step goes back or repeats (shown at once).
constexpr bool goesBack(int64_t index, int64_t step) { return index > 0 && step <= 0; }

}  // namespace rgbplay

#endif  // RGBPLAY_PACING_H
