// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Stamps on the 10,000-second cycle: differences, the continuous timeline,
// selections by time and the summaries built on them.
#include "toolkit/stamps.h"

#include <gtest/gtest.h>

#include <vector>

namespace toolkit {
namespace {

TEST(StampDelta, TakesTheShortWayRoundTheCycle) {
  EXPECT_EQ(stampDelta(1000, 1040), 40);
  EXPECT_EQ(stampDelta(9999990, 30), 40);
  EXPECT_EQ(stampDelta(30, 9999990), -40);
  EXPECT_EQ(stampDelta(500, 480), -20);
  // Half the cycle exactly counts forward, both ways round.
  EXPECT_EQ(stampDelta(0, 5000000), 5000000);
  EXPECT_EQ(stampDelta(5000000, 0), 5000000);
  // A gap of well over 1,000 s is still a gap, not a wrap.
  EXPECT_EQ(stampDelta(100, 4000100), 4000000);
  EXPECT_EQ(stampDelta(4000100, 100), -4000000);
  // Stamps from foreign files may lie outside the cycle: 4,294,967,295 ms
  // apart is 4,967,295 within it.
  EXPECT_EQ(stampDelta(-2147483647 - 1, 2147483647), 4967295);
  EXPECT_EQ(stampDelta(2147483647, -2147483647 - 1), -4967295);
}

TEST(StampOnCycle, WrapsBothWays) {
  EXPECT_EQ(stampOnCycle(0), 0);
  EXPECT_EQ(stampOnCycle(9999999), 9999999);
  EXPECT_EQ(stampOnCycle(10000040), 40);
  EXPECT_EQ(stampOnCycle(-40), 9999960);
  EXPECT_EQ(stampOnCycle(30000000123), 123);
}

TEST(Timeline, RunsThroughTheWrapAndIgnoresStepsBack) {
  // 25 fps across the wrap, then the clock set back 50 ms, a repeat, and
  // the 40 ms steps again.
  const std::vector<int32_t> stamps{9999960, 0, 40, 80, 30, 70, 70, 110};
  EXPECT_EQ(timelineOf(stamps), (std::vector<int64_t>{0, 40, 80, 120, 120, 160, 160, 200}));
  Timeline timeline;
  for (const int32_t s : stamps) timeline.add(s);
  EXPECT_EQ(timeline.frames(), stamps.size());
  EXPECT_EQ(timeline.last(), 200);
  EXPECT_EQ(timeline.lastStep(), 40);
}

TEST(Timeline, SelectsFramesByTime) {
  const std::vector<int64_t> times{0, 40, 80, 80, 200};
  EXPECT_EQ(frameAt(times, -1), -1);
  EXPECT_EQ(frameAt(times, 0), 0);
  EXPECT_EQ(frameAt(times, 79), 1);
  EXPECT_EQ(frameAt(times, 80), 3);  // of two frames at one time, the later shows
  EXPECT_EQ(frameAt(times, 100000), 4);
  const FrameSpan middle = framesBetween(times, 40, 200);
  EXPECT_EQ(middle.first, 1);
  EXPECT_EQ(middle.count, 3);
  EXPECT_EQ(framesBetween(times, 201, 300).count, 0);
  EXPECT_EQ(framesBetween(times, 80, 80).count, 0);
  EXPECT_EQ(framesBetween(times, 0, 1000).count, 5);
}

TEST(StampStats, StepsAndTheTimelineTheySpan) {
  const StampStats none = stampStats({7});
  EXPECT_FALSE(none.any);
  EXPECT_EQ(none.rate, 0);
  const StampStats stats = stampStats({0, 40, 100, 120, 9999990});
  EXPECT_TRUE(stats.any);
  EXPECT_EQ(stats.min, -130);
  EXPECT_EQ(stats.max, 60);
  EXPECT_DOUBLE_EQ(stats.median, 30);
  EXPECT_EQ(stats.durationMs, 120);  // the step back adds no time
  EXPECT_DOUBLE_EQ(stats.rate, 4 * 1000.0 / 120);
  EXPECT_EQ(stampStats({5, 5, 5}).rate, 0);  // no time passes
}

TEST(StampFaults, RepeatsAndStepsBackWithTheirFrames) {
  const std::vector<StampFault> faults = stampFaults({100, 140, 140, 90, 9999990, 30});
  ASSERT_EQ(faults.size(), 3u);
  EXPECT_EQ(describe(faults[0]), "frame 2: stamp 140 ms repeats the previous frame's");
  EXPECT_EQ(describe(faults[1]), "frame 3: stamp 90 ms goes back 50 ms from the previous 140 ms");
  EXPECT_EQ(describe(faults[2]),
            "frame 4: stamp 9999990 ms goes back 100 ms from the previous 90 ms");
}

TEST(StampTracker, SummarisesFramesAsTheyArrive) {
  StampTracker tracker;
  int64_t step = 0;
  EXPECT_FALSE(tracker.add(9999980, step));
  EXPECT_EQ(tracker.rate(), 0);
  EXPECT_TRUE(tracker.add(20, step));
  EXPECT_EQ(step, 40);
  EXPECT_TRUE(tracker.add(30, step));
  EXPECT_EQ(step, 10);
  EXPECT_EQ(tracker.frames(), 3u);
  EXPECT_EQ(tracker.largestGap(), 40);
  EXPECT_DOUBLE_EQ(tracker.rate(), 40.0);
}

TEST(StampText, TimesOnTheCommandLineNeedTheirUnit) {
  const struct {
    const char* text;
    int64_t ms;
  } good[] = {{"0s", 0}, {"12s", 12000}, {"12.5s", 12500}, {"0.001s", 1}, {"4500ms", 4500},
              {"10000s", 10000000}};
  for (const auto& g : good) {
    int64_t ms = -1;
    std::string error;
    EXPECT_TRUE(parseTime(g.text, ms, error)) << g.text << ": " << error;
    EXPECT_EQ(ms, g.ms) << g.text;
  }
  for (const char* bad : {"12", "", "s", "1.5ms", "0.0001s", "-3s", "1e3s", "12 s", "1.s",
                          ".5s", "3min", "1.2.3s", "99999999999999999s"}) {
    int64_t ms = 0;
    std::string error;
    EXPECT_FALSE(parseTime(bad, ms, error)) << bad;
    EXPECT_NE(error.find("12s, 12.5s or 4500ms"), std::string::npos) << bad << ": " << error;
  }
}

TEST(StampText, Formatting) {
  EXPECT_EQ(formatMs(40), "40");
  EXPECT_EQ(formatMs(40.5), "40.5");
  EXPECT_EQ(formatMs(-3), "-3");
  EXPECT_EQ(formatRate(23.0769), "23.077");
}

}  // namespace
}  // namespace toolkit
