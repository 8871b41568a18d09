// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The kernels behind rgb::interleave and rgb::deinterleave, one entry per
// instruction set this build carries, so that tests and benchmarks can run
// each one, not only the one this CPU picks. Not installed.
#ifndef RGB_CONVERT_VARIANTS_H
#define RGB_CONVERT_VARIANTS_H

#include <cstddef>

namespace rgb {
namespace detail {

struct ConvertVariant {
  const char* name;
  bool (*supported)();  // whether this CPU and OS can run the kernels
  void (*interleave)(const unsigned char* red, const unsigned char* green,
                     const unsigned char* blue, std::size_t count, unsigned char* out);
  void (*deinterleave)(const unsigned char* in, std::size_t count, unsigned char* red,
                       unsigned char* green, unsigned char* blue);
};

// Widest first; the last entry is the portable loop, which every CPU runs.
extern const ConvertVariant kConvertVariants[];
extern const std::size_t kConvertVariantCount;

}  // namespace detail
}  // namespace rgb

#endif  // RGB_CONVERT_VARIANTS_H
