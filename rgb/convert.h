// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Planar <-> interleaved pixel conversion: the stream stores a frame as
// separate red, green and blue planes, memory holds red, green, blue per
// pixel. The kernels pick the widest vector instructions the CPU has at run
// time.
#ifndef RGB_CONVERT_H
#define RGB_CONVERT_H

#include <cstddef>

namespace rgb {

// out[3k + c] = plane c [k] for k < count; out holds 3 * count bytes. The
// planes and out must not overlap.
void interleave(const unsigned char* red, const unsigned char* green, const unsigned char* blue,
                std::size_t count, unsigned char* out);

// As interleave, with stores that bypass the cache where the CPU has them:
// for large outputs that are not read again soon.
void interleaveStreaming(const unsigned char* red, const unsigned char* green,
                         const unsigned char* blue, std::size_t count, unsigned char* out);

// plane c [k] = in[3k + c] for k < count: the inverse of interleave.
void deinterleave(const unsigned char* in, std::size_t count, unsigned char* red,
                  unsigned char* green, unsigned char* blue);

}  // namespace rgb

#endif  // RGB_CONVERT_H
