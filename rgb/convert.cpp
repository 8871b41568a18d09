// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/convert.h"

#include "rgb/convert_variants.h"

#include <cstdint>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define RGB_CONVERT_X86 1
#include <immintrin.h>
#else
#define RGB_CONVERT_X86 0
#endif

namespace rgb {
namespace {

// The loops every CPU runs; the vector kernels finish their tails with them.
inline void interleavePlain(const unsigned char* red, const unsigned char* green,
                            const unsigned char* blue, std::size_t count, unsigned char* out) {
  for (std::size_t k = 0; k < count; ++k) {
    out[3 * k] = red[k];
    out[3 * k + 1] = green[k];
    out[3 * k + 2] = blue[k];
  }
}

inline void deinterleavePlain(const unsigned char* in, std::size_t count, unsigned char* red,
                              unsigned char* green, unsigned char* blue) {
  for (std::size_t k = 0; k < count; ++k) {
    red[k] = in[3 * k];
    green[k] = in[3 * k + 1];
    blue[k] = in[3 * k + 2];
  }
}

void interleavePortable(const unsigned char* red, const unsigned char* green,
                        const unsigned char* blue, std::size_t count, unsigned char* out) {
  interleavePlain(red, green, blue, count, out);
}

void deinterleavePortable(const unsigned char* in, std::size_t count, unsigned char* red,
                          unsigned char* green, unsigned char* blue) {
  deinterleavePlain(in, count, red, green, blue);
}

bool always() { return true; }

#if RGB_CONVERT_X86

// 16 pixels are 48 interleaved bytes, three vectors. A byte shuffle per
// plane and vector moves each plane's bytes to their places and zeroes the
// rest (index 0x80); OR-ing the three shuffles gives the vector.
struct ShuffleMasks {
  unsigned char mask[3][3][16];
};

// mask[part][plane]: interleaved byte 16 * part + i is pixel p / 3 of plane
// p % 3.
constexpr ShuffleMasks toPixelMasks() {
  ShuffleMasks m{};
  for (int part = 0; part < 3; ++part)
    for (int plane = 0; plane < 3; ++plane)
      for (int i = 0; i < 16; ++i) {
        const int p = 16 * part + i;
        m.mask[part][plane][i] = static_cast<unsigned char>(p % 3 == plane ? p / 3 : 0x80);
      }
  return m;
}

// mask[plane][part]: pixel k of a plane is interleaved byte 3k + plane, in
// vector (3k + plane) / 16.
constexpr ShuffleMasks toPlaneMasks() {
  ShuffleMasks m{};
  for (int plane = 0; plane < 3; ++plane)
    for (int part = 0; part < 3; ++part)
      for (int k = 0; k < 16; ++k) {
        const int p = 3 * k + plane;
        m.mask[plane][part][k] = static_cast<unsigned char>(p / 16 == part ? p % 16 : 0x80);
      }
  return m;
}

constexpr ShuffleMasks kToPixels = toPixelMasks();
constexpr ShuffleMasks kToPlanes = toPlaneMasks();

__attribute__((target("ssse3"))) inline __m128i load16(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

__attribute__((target("ssse3"))) inline void store16(unsigned char* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

__attribute__((target("ssse3"))) inline __m128i shuffle3(__m128i a, __m128i b, __m128i c,
                                                         const unsigned char (&masks)[3][16]) {
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, load16(masks[0])),
                                   _mm_shuffle_epi8(b, load16(masks[1]))),
                      _mm_shuffle_epi8(c, load16(masks[2])));
}

__attribute__((target("ssse3"))) void interleaveSsse3(const unsigned char* red,
                                                      const unsigned char* green,
                                                      const unsigned char* blue,
                                                      std::size_t count, unsigned char* out) {
  std::size_t k = 0;
  for (; count - k >= 16; k += 16) {
    const __m128i r = load16(red + k);
    const __m128i g = load16(green + k);
    const __m128i b = load16(blue + k);
    unsigned char* o = out + 3 * k;
    store16(o, shuffle3(r, g, b, kToPixels.mask[0]));
    store16(o + 16, shuffle3(r, g, b, kToPixels.mask[1]));
    store16(o + 32, shuffle3(r, g, b, kToPixels.mask[2]));
  }
  interleavePlain(red + k, green + k, blue + k, count - k, out + 3 * k);
}

__attribute__((target("ssse3"))) void deinterleaveSsse3(const unsigned char* in,
                                                        std::size_t count, unsigned char* red,
                                                        unsigned char* green,
                                                        unsigned char* blue) {
  std::size_t k = 0;
  for (; count - k >= 16; k += 16) {
    const unsigned char* i = in + 3 * k;
    const __m128i a = load16(i);
    const __m128i b = load16(i + 16);
    const __m128i c = load16(i + 32);
    store16(red + k, shuffle3(a, b, c, kToPlanes.mask[0]));
    store16(green + k, shuffle3(a, b, c, kToPlanes.mask[1]));
    store16(blue + k, shuffle3(a, b, c, kToPlanes.mask[2]));
  }
  deinterleavePlain(in + 3 * k, count - k, red + k, green + k, blue + k);
}

// AVX2 shuffles bytes only within each 128-bit half, so each half does the
// work of one SSSE3 step on its own 16 pixels and the halves are then
// regrouped into consecutive memory order.
__attribute__((target("avx2"))) inline __m256i load32(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) inline void store32(unsigned char* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

__attribute__((target("avx2"))) inline __m256i mask32(const unsigned char (&mask)[16]) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mask)));
}

__attribute__((target("avx2"))) inline __m256i shuffle3x2(__m256i a, __m256i b, __m256i c,
                                                          const unsigned char (&masks)[3][16]) {
  return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(a, mask32(masks[0])),
                                         _mm256_shuffle_epi8(b, mask32(masks[1]))),
                         _mm256_shuffle_epi8(c, mask32(masks[2])));
}

// 32 pixels of the three planes as the 96 interleaved bytes, in memory order.
struct Pixels32 {
  __m256i bytes[3];
};

__attribute__((target("avx2"))) inline Pixels32 interleave32(const unsigned char* red,
                                                             const unsigned char* green,
                                                             const unsigned char* blue) {
  const __m256i r = load32(red);
  const __m256i g = load32(green);
  const __m256i b = load32(blue);
  // Halves: x = [bytes 0-15 | 48-63], y = [16-31 | 64-79], z = [32-47 | 80-95].
  const __m256i x = shuffle3x2(r, g, b, kToPixels.mask[0]);
  const __m256i y = shuffle3x2(r, g, b, kToPixels.mask[1]);
  const __m256i z = shuffle3x2(r, g, b, kToPixels.mask[2]);
  return {{_mm256_permute2x128_si256(x, y, 0x20), _mm256_permute2x128_si256(z, x, 0x30),
           _mm256_permute2x128_si256(y, z, 0x31)}};
}

__attribute__((target("avx2"))) void interleaveAvx2(const unsigned char* red,
                                                    const unsigned char* green,
                                                    const unsigned char* blue, std::size_t count,
                                                    unsigned char* out) {
  std::size_t k = 0;
  for (; count - k >= 32; k += 32) {
    const Pixels32 pixels = interleave32(red + k, green + k, blue + k);
    for (int v = 0; v < 3; ++v) store32(out + 3 * k + 32 * v, pixels.bytes[v]);
  }
  interleaveSsse3(red + k, green + k, blue + k, count - k, out + 3 * k);
}

// The same with stores that bypass the cache, for output that is not read
// again soon: without them every output line is first read from memory
// only to be overwritten. Streaming stores need 32-byte aligned addresses;
// 32 pixels are 96 bytes, so once the output is aligned it stays aligned.
__attribute__((target("avx2"))) void interleaveAvx2Streaming(const unsigned char* red,
                                                             const unsigned char* green,
                                                             const unsigned char* blue,
                                                             std::size_t count,
                                                             unsigned char* out) {
  std::size_t k = 0;
  while (k < count && reinterpret_cast<std::uintptr_t>(out + 3 * k) % 32 != 0) ++k;
  interleavePlain(red, green, blue, k, out);
  for (; count - k >= 32; k += 32) {
    const Pixels32 pixels = interleave32(red + k, green + k, blue + k);
    auto* o = reinterpret_cast<__m256i*>(out + 3 * k);
    for (int v = 0; v < 3; ++v) _mm256_stream_si256(o + v, pixels.bytes[v]);
  }
  _mm_sfence();
  interleavePlain(red + k, green + k, blue + k, count - k, out + 3 * k);
}

// How far ahead of its loads the deinterleave asks for the pixels: a
// frame being written usually comes from memory, not the cache, and the
// hardware prefetcher alone keeps too few lines in flight to hide that
// (a tenth off a 622 MB write on the machine it was measured on). A
// prefetch never faults, so asking past the end is harmless.
constexpr std::uintptr_t kPrefetchAhead = 1024;

inline void prefetchAhead(const unsigned char* p) {
  const std::uintptr_t ahead = reinterpret_cast<std::uintptr_t>(p) + kPrefetchAhead;
  _mm_prefetch(reinterpret_cast<const char*>(ahead), _MM_HINT_T0);
  _mm_prefetch(reinterpret_cast<const char*>(ahead + 64), _MM_HINT_T0);
}

__attribute__((target("avx2"))) void deinterleaveAvx2(const unsigned char* in, std::size_t count,
                                                      unsigned char* red, unsigned char* green,
                                                      unsigned char* blue) {
  std::size_t k = 0;
  for (; count - k >= 32; k += 32) {
    const unsigned char* i = in + 3 * k;
    prefetchAhead(i);
    const __m256i x = load32(i);       // bytes 0-15 | 16-31
    const __m256i y = load32(i + 32);  // 32-47 | 48-63
    const __m256i z = load32(i + 64);  // 64-79 | 80-95
    // Regrouped so that the halves hold pixels 0-15 and 16-31.
    const __m256i a = _mm256_permute2x128_si256(x, y, 0x30);  // 0-15 | 48-63
    const __m256i b = _mm256_permute2x128_si256(x, z, 0x21);  // 16-31 | 64-79
    const __m256i c = _mm256_permute2x128_si256(y, z, 0x30);  // 32-47 | 80-95
    store32(red + k, shuffle3x2(a, b, c, kToPlanes.mask[0]));
    store32(green + k, shuffle3x2(a, b, c, kToPlanes.mask[1]));
    store32(blue + k, shuffle3x2(a, b, c, kToPlanes.mask[2]));
  }
  deinterleaveSsse3(in + 3 * k, count - k, red + k, green + k, blue + k);
}

// __builtin_cpu_init is idempotent and cheap; calling it makes the answer
// right even before libgcc's constructor has run (static initialisers).
bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

bool hasSsse3() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3");
}

#endif  // RGB_CONVERT_X86

// The CPU is asked on every call: a cached choice would need a guarded
// static (C++ runtime) or an atomic, and two feature tests cost nothing next
// to even one row of pixels.
const detail::ConvertVariant& best() {
  std::size_t v = 0;
  while (!detail::kConvertVariants[v].supported()) ++v;
  return detail::kConvertVariants[v];
}

}  // namespace

namespace detail {

const ConvertVariant kConvertVariants[] = {
#if RGB_CONVERT_X86
    {"avx2", hasAvx2, interleaveAvx2, deinterleaveAvx2},
    {"ssse3", hasSsse3, interleaveSsse3, deinterleaveSsse3},
#endif
    {"portable", always, interleavePortable, deinterleavePortable},
};
const std::size_t kConvertVariantCount = sizeof kConvertVariants / sizeof kConvertVariants[0];

}  // namespace detail

void interleave(const unsigned char* red, const unsigned char* green, const unsigned char* blue,
                std::size_t count, unsigned char* out) {
  best().interleave(red, green, blue, count, out);
}

void deinterleave(const unsigned char* in, std::size_t count, unsigned char* red,
                  unsigned char* green, unsigned char* blue) {
  best().deinterleave(in, count, red, green, blue);
}

void interleaveStreaming(const unsigned char* red, const unsigned char* green,
                         const unsigned char* blue, std::size_t count, unsigned char* out) {
#if RGB_CONVERT_X86
  if (hasAvx2()) {
    interleaveAvx2Streaming(red, green, blue, count, out);
    return;
  }
#endif
  interleave(red, green, blue, count, out);
}

}  // namespace rgb
