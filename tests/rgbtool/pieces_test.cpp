// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The tool's inner pieces: clock intervals and numbered output names.
#include <gtest/gtest.h>

#include "rgbtool/intervals.h"
#include "rgbtool/json.h"
#include "rgbtool/output_name.h"

namespace rgbtool {
namespace {

TEST(ToolIntervals, AcrossTheWrapAndBackwards) {
  EXPECT_EQ(stampInterval(1000, 1040), 40);
  EXPECT_EQ(stampInterval(9999990, 30), 40);
  EXPECT_EQ(stampInterval(30, 9999990), -40);
  EXPECT_EQ(stampInterval(500, 480), -20);
  EXPECT_EQ(stampInterval(0, 5000000), 5000000);
  EXPECT_EQ(stampInterval(5000000, 0), 5000000);
  // Stamps from foreign files may lie outside the cycle.
  // 4,294,967,295 ms apart: 4,967,295 within the cycle, under half of it.
  EXPECT_EQ(stampInterval(-2147483647 - 1, 2147483647), 4967295);
  EXPECT_EQ(stampInterval(2147483647, -2147483647 - 1), -4967295);
}

TEST(ToolIntervals, Statistics) {
  const IntervalStats none = intervalStats({7});
  EXPECT_FALSE(none.any);
  EXPECT_FALSE(none.haveRate);
  const IntervalStats stats = intervalStats({0, 40, 100, 120, 9999990});
  EXPECT_TRUE(stats.any);
  EXPECT_EQ(stats.min, -130);
  EXPECT_EQ(stats.max, 60);
  EXPECT_DOUBLE_EQ(stats.median, 30);
  EXPECT_FALSE(stats.haveRate);  // they add up to -10 ms
}

TEST(ToolIntervals, Tracker) {
  IntervalTracker tracker;
  int64_t interval = 0;
  EXPECT_FALSE(tracker.add(9999980, interval));
  EXPECT_FALSE(tracker.haveRate());
  EXPECT_TRUE(tracker.add(20, interval));
  EXPECT_EQ(interval, 40);
  EXPECT_TRUE(tracker.add(30, interval));
  EXPECT_EQ(interval, 10);
  EXPECT_EQ(tracker.frames(), 3u);
  EXPECT_EQ(tracker.largestGap(), 40);
  EXPECT_DOUBLE_EQ(tracker.rate(), 40.0);
}

TEST(ToolIntervals, Formatting) {
  EXPECT_EQ(formatMs(40), "40");
  EXPECT_EQ(formatMs(40.5), "40.5");
  EXPECT_EQ(formatMs(-3), "-3");
  EXPECT_EQ(formatRate(23.0769), "23.077");
}

TEST(ToolOutputName, Patterns) {
  std::string error;
  EXPECT_TRUE(validFramePattern("f%d.png", error));
  EXPECT_TRUE(validFramePattern("100%%/f%04d.png", error));
  EXPECT_FALSE(validFramePattern("f.png", error));
  EXPECT_FALSE(validFramePattern("f%d%d.png", error));
  EXPECT_FALSE(validFramePattern("f%s.png", error));
  EXPECT_FALSE(validFramePattern("f%n.png", error));
  EXPECT_FALSE(validFramePattern("f%10d.png", error));
  EXPECT_FALSE(validFramePattern("f%d%", error));
  EXPECT_EQ(expandFramePattern("f%d.png", 12), "f12.png");
  EXPECT_EQ(expandFramePattern("100%%/f%04d.png", 12), "100%/f0012.png");
  EXPECT_EQ(expandFramePattern("%03d", 12345), "12345");
}

// Valid UTF-8 stays; every other byte becomes U+00XX, written in UTF-8.
TEST(ToolJson, NamesAsUtf8) {
  EXPECT_EQ(utf8Text("plain \xc3\xa9 \xf0\x9f\x8e\x9e"), "plain \xc3\xa9 \xf0\x9f\x8e\x9e");
  EXPECT_EQ(utf8Text("a\xe9z"), "a\xc3\xa9z");                // Latin-1 byte
  EXPECT_EQ(utf8Text("\xc0\xaf"), "\xc3\x80\xc2\xaf");        // overlong '/'
  EXPECT_EQ(utf8Text("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");  // a surrogate
  EXPECT_EQ(utf8Text("\xf0\x9f\x8e"), "\xc3\xb0\xc2\x9f\xc2\x8e");  // cut short
}

}  // namespace
}  // namespace rgbtool
