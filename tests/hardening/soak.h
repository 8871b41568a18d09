// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frame streams between real processes for a long time: a producer process
// writes numbered frames into a named pipe while this process reads them,
// and a producer process appends to a file while this process keeps
// counting and reading it. Shared by the short soak test and the long soak
// program (scripts/soak).
#ifndef RGB_TESTS_HARDENING_SOAK_H
#define RGB_TESTS_HARDENING_SOAK_H

#include <string>
#include <vector>

namespace soak {

// Pixels of frame n: a pattern that differs for every frame, channel, row
// and column, so that a lost, repeated, reordered or damaged frame shows.
void fillFrame(unsigned char* image, int width, int height, int n);
// Stamp of frame n: 40 ms apart, wrapping at the clock's 10,000-second cycle.
int stampOf(int n);

struct PipeResult {
  int sent = 0;          // frames the producer reported written
  int received = 0;      // frames read
  int intact = 0;        // frames read with the expected pixels and stamp, in order
  bool producerOk = false;
  bool endedCleanly = false;  // the read after the last frame failed as at a clean end
  double seconds = 0;
  std::vector<std::string> problems;  // first few mismatches, for the report
  int lost() const { return sent - intact; }
};

// Producer process -> FIFO in `folder` -> this process, `frames` frames of
// width x height through writeRGBTimePipe and readRGBTimePipe.
PipeResult pipeSoak(const std::string& folder, int frames, int width, int height);

struct FileResult {
  int appended = 0;      // frames the producer appended
  int finalCount = 0;    // getRGBNoOfFrames after the producer ended
  int intact = 0;        // frames of the final read that are right
  int recounts = 0;      // counts taken while the file grew
  int partialReads = 0;  // reads of the growing file, all checked
  bool countsMonotonic = true;
  bool readsConsistent = true;
  bool producerOk = false;
  double seconds = 0;
  std::vector<std::string> problems;
};

// A producer process appends `appends` batches of 1 to 3 frames with
// writeRGBTimeFile while this process re-counts and re-reads the file.
FileResult fileSoak(const std::string& folder, int appends, int width, int height);

}  // namespace soak

#endif  // RGB_TESTS_HARDENING_SOAK_H
