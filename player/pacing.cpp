// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "player/pacing.h"

#include <algorithm>

namespace rgbplay {
namespace {

constexpr double kMsPerSecond = 1000.0;

}  // namespace

double waitBefore(int64_t step, double fps) {
  if (fps > 0) return kMsPerSecond / fps;
  return static_cast<double>(std::clamp<int64_t>(step, 0, kJumpCapMs));
}

}  // namespace rgbplay
