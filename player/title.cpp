// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "player/title.h"

#include <cstdio>

#include "player/pacing.h"

namespace rgbplay {
namespace {

constexpr const char* kGap = "   ";
constexpr int64_t kMsPerSecond = 1000;

std::string printed(const char* format, long long first, long long second = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, first, second);
  return text;
}

std::string position(const TitleFacts& facts) {
  std::string text = "frame " + std::to_string(facts.index);
  if (facts.frames >= 0) text += " of " + std::to_string(facts.frames);
  text += kGap + printed("time %lld.%03lld s", facts.time / kMsPerSecond,
                         facts.time % kMsPerSecond);
  text += kGap + printed("stamp %lld ms", facts.stamp);
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.1f fps", facts.rate);
  return text + kGap + rate;
}

std::string markers(const TitleFacts& facts) {
  std::string text;
  const auto add = [&](bool applies, const std::string& marker) {
    if (applies) text += kGap + marker;
  };
  char speed[32];
  std::snprintf(speed, sizeof speed, "speed x%g", facts.speed);
  add(facts.speed != 1, speed);
  add(facts.paused, "paused");
  add(facts.haveFrame && facts.ended, "end");
  add(facts.haveFrame && isJump(facts.step), "jump");
  add(facts.haveFrame && goesBack(facts.index, facts.step), "back");
  add(facts.loop, "loop");
  add(facts.follow, "follow");
  return text;
}

}  // namespace

std::string titleText(const TitleFacts& facts) {
  const std::string head = "rgbplay: " + facts.name + kGap;
  return head + (facts.haveFrame ? position(facts) : "waiting for frames") + markers(facts);
}

}  // namespace rgbplay
