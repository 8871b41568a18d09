// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The short soak: frames between real processes through a named pipe, and a
// file growing by appends while it is counted, all intact and in order.
#include <gtest/gtest.h>

#include "tests/hardening/soak.h"
#include "tests/support/test_support.h"

namespace {

std::string problems(const std::vector<std::string>& list) {
  std::string all;
  for (const auto& p : list) all += p + "\n";
  return all;
}

TEST(Soak, FramesThroughANamedPipeArriveIntactAndInOrder) {
  rgbtest::TempDir dir;
  const soak::PipeResult r = soak::pipeSoak(dir.path(), 500, 320, 240);
  EXPECT_TRUE(r.producerOk) << problems(r.problems);
  EXPECT_EQ(r.sent, 500);
  EXPECT_EQ(r.received, 500);
  EXPECT_EQ(r.intact, 500) << problems(r.problems);
  EXPECT_EQ(r.lost(), 0);
  EXPECT_TRUE(r.endedCleanly) << problems(r.problems);
}

TEST(Soak, OddSizedFramesThroughANamedPipe) {
  rgbtest::TempDir dir;
  const soak::PipeResult r = soak::pipeSoak(dir.path(), 300, 33, 7);
  EXPECT_TRUE(r.producerOk);
  EXPECT_EQ(r.intact, 300) << problems(r.problems);
  EXPECT_TRUE(r.endedCleanly) << problems(r.problems);
}

TEST(Soak, FileGrowingByAppendsIsCountedAndReadConsistently) {
  rgbtest::TempDir dir;
  const soak::FileResult r = soak::fileSoak(dir.path(), 150, 64, 48);
  EXPECT_TRUE(r.producerOk) << problems(r.problems);
  EXPECT_EQ(r.appended, 300);  // batches of 1, 2, 3 frames, 50 times each
  EXPECT_EQ(r.finalCount, 300);
  EXPECT_EQ(r.intact, 300) << problems(r.problems);
  EXPECT_TRUE(r.countsMonotonic) << problems(r.problems);
  EXPECT_TRUE(r.readsConsistent) << problems(r.problems);
  // The producer paces its appends, so the file is seen growing.
  EXPECT_GE(r.recounts, 2);
  EXPECT_GE(r.partialReads, 1);
}

}  // namespace
