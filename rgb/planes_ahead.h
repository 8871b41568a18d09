// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The planes of a run of interleaved frames, handed out in order, with the
// next frame deinterleaved on a second thread while the caller writes the
// one it holds. Writing is a copy into the kernel and deinterleaving a
// copy out of memory; one after the other they take about 1.2 times one
// plain write of the same bytes, side by side about the same time as it.
#ifndef RGB_PLANES_AHEAD_H
#define RGB_PLANES_AHEAD_H

#include <cstddef>
#include <cstdint>

namespace rgb {

using PutPlanes = bool (*)(void* context, int64_t n, const unsigned char* planes);

// Calls put(context, n, planes) for frames 0 .. frames - 1 of `images`
// (interleaved, or planes with RGB_PLANAR; top row first with
// RGB_TOP_ROW_FIRST), with frame n's planes in stream order, until put
// returns false. The second thread is used only for large frames,
// when this process may run on more than one core, and when one can be
// started; otherwise the frames are deinterleaved in turn. The thread holds
// every signal back, so handlers run where they did before, and it is
// joined before this returns. Returns 1 when every put succeeded, 0 when
// one failed, -1 when there was no memory for the planes (nothing was put).
int putPlanes(const unsigned char* images, std::size_t width, std::size_t height, int64_t frames,
              int flags, PutPlanes put, void* context);

template <class Put>
int putPlanes(const unsigned char* images, std::size_t width, std::size_t height, int64_t frames,
              int flags, Put& put) {
  return putPlanes(
      images, width, height, frames, flags,
      [](void* context, int64_t n, const unsigned char* planes) {
        return (*static_cast<Put*>(context))(n, planes);
      },
      &put);
}

}  // namespace rgb

#endif  // RGB_PLANES_AHEAD_H
