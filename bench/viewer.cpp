// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The viewer's costs on a 1920 x 1080 picture:
//  1. the region-of-interest marking against a plain memcpy of the same
//     frame, alternating the two so that both see the same machine;
//  2. the time from starting zu_korve on a 100-frame file to its first
//     frame on screen, in a private Xvfb.
// Prints medians and the marking / memcpy ratio.
//
//   bench_viewer [--rounds R] [--starts S] [--frames N] [--dir DIR]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "tests/viewer/xserver.h"
#include "toolkit/marking.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::size_t kFrameBytes = std::size_t{kWidth} * kHeight * 3;

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start)
      .count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Keeps the compiler from dropping stores nobody reads.
void escape(void* p) { asm volatile("" : : "g"(p) : "memory"); }

// A frame with bright pixels scattered over it, inside the region too.
std::vector<unsigned char> sampleFrame(unsigned seed) {
  std::vector<unsigned char> frame(kFrameBytes);
  unsigned state = seed * 2654435761u + 1;
  for (unsigned char& byte : frame) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(state >> 16);
  }
  return frame;
}

void benchMarking(int rounds) {
  const std::vector<unsigned char> frame = sampleFrame(1);
  std::vector<unsigned char> display(kFrameBytes);
  std::vector<unsigned char> copy(kFrameBytes);
  std::vector<double> marking, memcopy;
  std::size_t marked = 0;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    std::memcpy(copy.data(), frame.data(), kFrameBytes);
    escape(copy.data());
    memcopy.push_back(millisSince(start));

    start = Clock::now();
    marked = toolkit::markRegionOfInterest(frame.data(), kWidth, kHeight,
                                            display.data());
    escape(display.data());
    marking.push_back(millisSince(start));
  }
  const double m = median(marking), c = median(memcopy);
  std::printf("marking %dx%d: median %.3f ms (%zu pixels marked)\n", kWidth,
              kHeight, m, marked);
  std::printf("memcpy  %dx%d: median %.3f ms\n", kWidth, kHeight, c);
  std::printf("marking / memcpy: %.2f (target <= 3)\n", m / c);
}

// Writes `frames` copies of frame 0 to a fresh file.
bool writeFile(const std::string& path, const std::vector<unsigned char>& frame,
               int frames) {
  std::remove(path.c_str());
  for (int n = 0; n < frames; ++n)
    if (writeRGBFile(path.c_str(), frame.data(), kWidth, kHeight, 1) != 1)
      return false;
  return true;
}

// True when the window shows `expected` (row 0 at the bottom).
bool shows(const xtest::Pixels& window, const std::vector<unsigned char>& expected) {
  if (window.width != kWidth || window.height != kHeight) return false;
  const std::size_t rowBytes = std::size_t{kWidth} * 3;
  for (int i = 0; i < kHeight; ++i)
    if (std::memcmp(window.at(kHeight - 1 - i, 0), &expected[static_cast<std::size_t>(i) * rowBytes],
                    rowBytes) != 0)
      return false;
  return true;
}

int benchStart(int starts, int frames, const std::string& dir) {
  const std::vector<unsigned char> frame = sampleFrame(2);
  std::vector<unsigned char> expected(kFrameBytes);
  toolkit::markRegionOfInterest(frame.data(), kWidth, kHeight, expected.data());
  const std::string path = dir + "/bench_viewer_" + std::to_string(getpid()) + ".rgb";
  if (!writeFile(path, frame, frames)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::vector<double> times;
  try {
    xtest::Xvfb server;
    xtest::Connection x(server.display());
    for (int run = 0; run < starts; ++run) {
      const auto start = Clock::now();
      xtest::Child viewer({ZU_KORVE_PATH, "-0", path}, server.display());
      const auto window = x.waitForWindow("ZU_KORVE   file: ", xtest::Millis(120000));
      const xtest::Pixels pixels = x.grabUntil(
          window, [&](const xtest::Pixels& p) { return shows(p, expected); },
          xtest::Millis(120000));
      const double elapsed = millisSince(start);
      if (!shows(pixels, expected)) throw std::runtime_error("wrong first frame");
      times.push_back(elapsed);
      x.typeKey(window, 'q');
      viewer.wait(xtest::Millis(30000));
    }
  } catch (const std::exception& error) {
    std::remove(path.c_str());
    std::fprintf(stderr, "bench_viewer: %s\n", error.what());
    return 1;
  }
  std::remove(path.c_str());
  std::printf("start to first frame, %d frames of %dx%d (%.0f MB): median %.0f ms over %d starts\n",
              frames, kWidth, kHeight,
              static_cast<double>(kFrameBytes + 512) * frames / 1e6,
              median(times), starts);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 200, starts = 3, frames = 100;
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp && *tmp ? tmp : "/tmp";
  for (int k = 1; k + 1 < argc; k += 2) {
    const std::string option = argv[k];
    if (option == "--rounds") rounds = std::atoi(argv[k + 1]);
    else if (option == "--starts") starts = std::atoi(argv[k + 1]);
    else if (option == "--frames") frames = std::atoi(argv[k + 1]);
    else if (option == "--dir") dir = argv[k + 1];
    else {
      std::fprintf(stderr, "Usage: %s [--rounds R] [--starts S] [--frames N] [--dir DIR]\n", argv[0]);
      return 1;
    }
  }
  if (rounds < 1 || starts < 1 || frames < 1) {
    std::fprintf(stderr, "rounds, starts and frames must be positive\n");
    return 1;
  }
  benchMarking(rounds);
  return benchStart(starts, frames, dir);
}
