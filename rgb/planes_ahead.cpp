// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/planes_ahead.h"

#include <utility>

#include "rgb/buffers.h"
#include "rgb/frames.h"
#include "rgb/rgb.h"
#include "rgb/second_thread.h"

namespace rgb {
namespace {

// Below this a frame is deinterleaved faster than a thread starts.
constexpr std::size_t kAheadFrameBytes = std::size_t{1} << 20;

// One frame to deinterleave: what the second thread is given.
struct Job {
  const unsigned char* pixels;
  std::size_t width;
  std::size_t height;
  int flags;
  unsigned char* planes;
};

void* deinterleave(void* job) {
  const Job& j = *static_cast<const Job*>(job);
  planesOf(j.pixels, j.width, j.height, j.flags, j.planes);
  return nullptr;
}

}  // namespace

int putPlanes(const unsigned char* images, std::size_t width, std::size_t height, int64_t frames,
              int flags, PutPlanes put, void* context) {
  const std::size_t bytes = width * height * kChannels;
  auto frame = [&](int64_t n) { return images + static_cast<std::size_t>(n) * bytes; };
  Malloced<unsigned char> current(static_cast<unsigned char*>(allocate(bytes)));
  if (!current) return -1;
  Malloced<unsigned char> next;
  if (frames > 1 && bytes >= kAheadFrameBytes && severalCores())
    next.reset(static_cast<unsigned char*>(std::malloc(bytes)));
  if (frames > 0) planesOf(frame(0), width, height, flags, current.get());
  for (int64_t n = 0; n < frames; ++n) {
    const bool more = n + 1 < frames;
    Job job{more ? frame(n + 1) : nullptr, width, height, flags, next.get()};
    SecondThread ahead;
    const bool onThread = more && next && ahead.start(deinterleave, &job);
    const bool written = put(context, n, current.get());
    ahead.join();
    if (!written) return 0;
    if (!more) break;
    if (onThread) {
      std::swap(current, next);
    } else {
      planesOf(frame(n + 1), width, height, flags, current.get());
    }
  }
  return 1;
}

}  // namespace rgb
