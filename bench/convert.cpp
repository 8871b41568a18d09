// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Throughput of the planar <-> interleaved kernels, each one this CPU can
// run, over one 1920 x 1080 frame (fits the last-level cache on some
// machines) and over a 100-frame buffer (does not), with memcpy of the same
// bytes as the yardstick. Buffers are written once before timing so that no
// page faults are measured. Prints the median of the rounds in GB/s of
// interleaved bytes and as a fraction of memcpy's speed.
//
//   bench_convert [--frames N] [--rounds R]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rgb/convert.h"
#include "rgb/convert_variants.h"

namespace {

constexpr std::size_t kFramePixels = 1920 * 1080;

using Clock = std::chrono::steady_clock;

// The candidates take turns within each round, so that a busy neighbour on a
// shared machine slows all of them alike rather than whichever ran then.
struct Job {
  std::string name;
  std::function<void()> work;
  std::vector<double> times;
};

void race(std::vector<Job>& jobs, int rounds) {
  for (int r = 0; r < rounds; ++r)
    for (Job& job : jobs) {
      const auto start = Clock::now();
      job.work();
      job.times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
  for (Job& job : jobs) std::sort(job.times.begin(), job.times.end());
}

double median(const Job& job) { return job.times[job.times.size() / 2]; }

void report(const char* what, std::size_t bytes, double seconds, double memcpySeconds) {
  std::printf("  %-24s %8.2f GB/s  %5.2f x memcpy\n", what,
              static_cast<double>(bytes) / seconds / 1e9, memcpySeconds / seconds);
}

void measure(std::size_t pixels, int rounds) {
  const std::size_t bytes = 3 * pixels;
  std::vector<unsigned char> pixelsIn(bytes), pixelsOut(bytes), copy(bytes);
  std::vector<unsigned char> planes[3] = {std::vector<unsigned char>(pixels),
                                          std::vector<unsigned char>(pixels),
                                          std::vector<unsigned char>(pixels)};
  for (std::size_t i = 0; i < bytes; ++i) pixelsIn[i] = static_cast<unsigned char>(i * 2654435761u >> 24);

  std::printf("%zu pixels (%.1f MB interleaved), median of %d rounds\n", pixels,
              static_cast<double>(bytes) / 1e6, rounds);
  std::vector<Job> jobs;
  jobs.push_back({"memcpy", [&] { std::memcpy(copy.data(), pixelsIn.data(), bytes); }, {}});
  for (std::size_t v = 0; v < rgb::detail::kConvertVariantCount; ++v) {
    const auto& variant = rgb::detail::kConvertVariants[v];
    if (!variant.supported()) continue;
    jobs.push_back({std::string(variant.name) + " deinterleave", [&] {
                      variant.deinterleave(pixelsIn.data(), pixels, planes[0].data(),
                                           planes[1].data(), planes[2].data());
                    }, {}});
    jobs.push_back({std::string(variant.name) + " interleave", [&] {
                      variant.interleave(planes[0].data(), planes[1].data(), planes[2].data(),
                                         pixels, pixelsOut.data());
                    }, {}});
  }
  // What the library picks per call, row by row as a flipped copy would.
  jobs.push_back({"chosen, per 1920-pixel row", [&] {
                    for (std::size_t row = 0; row < pixels / 1920; ++row)
                      rgb::interleave(planes[0].data() + row * 1920, planes[1].data() + row * 1920,
                                      planes[2].data() + row * 1920, 1920,
                                      pixelsOut.data() + row * 1920 * 3);
                  }, {}});
  race(jobs, rounds);
  if (pixelsOut != pixelsIn) {
    std::fprintf(stderr, "bench_convert: the kernels do not round-trip\n");
    std::exit(1);
  }
  for (const Job& job : jobs) report(job.name.c_str(), bytes, median(job), median(jobs[0]));
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 100;
  int rounds = 9;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--frames") == 0) frames = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
  }
  if (frames < 1 || rounds < 1 || argc % 2 == 0) {
    std::fprintf(stderr, "usage: bench_convert [--frames N] [--rounds R]\n");
    return 2;
  }
  measure(kFramePixels, rounds * 10);
  measure(kFramePixels * static_cast<std::size_t>(frames), rounds);
  return 0;
}
