// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Small helpers for the shared layer's tests: streams of known frames,
// directory listings, peak memory, and a child process that waits until
// the parent has done its part.
#ifndef RGB_TESTS_TOOLKIT_LAYER_SUPPORT_H
#define RGB_TESTS_TOOLKIT_LAYER_SUPPORT_H

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace layertest {

using rgbtest::Bytes;

// A stream of `stamps.size()` frames of width x height with the shared
// pattern (seed picks the pattern), and those frames' interleaved pixels.
Bytes stream(int width, int height, const std::vector<int32_t>& stamps, unsigned seed = 0);
Bytes pixels(int frames, int width, int height, unsigned seed = 0);

// The names in a directory, "." and ".." left out.
std::set<std::string> namesIn(const std::string& directory);

// The process's peak resident memory in KiB (VmHWM).
long peakKiB();
// Sets the peak to the memory resident now, and returns that (KiB).
long resetPeak();

// A pipe the parent and a forked child share to say "ready" and "go on":
// one byte each way.
class Handshake {
 public:
  Handshake();
  ~Handshake();
  Handshake(const Handshake&) = delete;
  Handshake& operator=(const Handshake&) = delete;
  void signal();         // writes a byte
  bool await(int ms);    // reads a byte, waiting at most ms
  int readEnd() const { return fds_[0]; }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace layertest

#endif  // RGB_TESTS_TOOLKIT_LAYER_SUPPORT_H
