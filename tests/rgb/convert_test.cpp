// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Planar <-> interleaved conversion: every kernel this build carries and the
// CPU can run, at lengths around the vector widths (16 and 32 pixels) and at
// odd addresses, against bytes worked out by hand.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rgb/convert.h"
#include "rgb/convert_variants.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::size_t kCounts[] = {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 1000};

// Plane c holds pixel k as (k * 7 + 60 * c + 1) mod 256: no two neighbouring
// bytes of the interleaved picture are equal, within a plane or across.
unsigned char planeByte(std::size_t plane, std::size_t k) {
  return static_cast<unsigned char>((k * 7 + 60 * plane + 1) % 256);
}

// The arrays sit at `offset` bytes past a 64-byte boundary, with guard
// bytes around them that no kernel may touch.
constexpr unsigned char kGuard = 0xA5;
constexpr std::size_t kSlack = 64;

struct Buffer {
  Buffer(std::size_t bytes, std::size_t misalign)
      : storage(bytes + 3 * kSlack, kGuard), size(bytes), offset(kSlack + misalign) {}
  unsigned char* data() {
    auto base = reinterpret_cast<std::uintptr_t>(storage.data());
    std::size_t skip = (kSlack - base % kSlack) % kSlack;
    return storage.data() + skip + offset;
  }
  // The bytes outside [data, data + size) all still hold the guard.
  bool guardsIntact() {
    const unsigned char* begin = data();
    for (const unsigned char* p = storage.data(); p < storage.data() + storage.size(); ++p)
      if ((p < begin || p >= begin + size) && *p != kGuard) return false;
    return true;
  }
  Bytes contents() { return Bytes(data(), data() + size); }
  Bytes storage;
  std::size_t size;
  std::size_t offset;
};

struct Runnable {
  const rgb::detail::ConvertVariant* variant;
  std::string name;
};

std::vector<Runnable> runnableVariants() {
  std::vector<Runnable> out;
  for (std::size_t v = 0; v < rgb::detail::kConvertVariantCount; ++v) {
    const auto& variant = rgb::detail::kConvertVariants[v];
    if (variant.supported()) out.push_back({&variant, variant.name});
  }
  // The portable loop is last in the table and always there.
  if (out.empty() || out.back().name != "portable") ADD_FAILURE() << "no portable kernel";
  return out;
}

TEST(PlanarConvert, EveryKernelInterleavesAndDeinterleavesExactly) {
  // Offsets for planes and interleaved bytes, so that none of the vector
  // accesses is aligned in the second and third rounds.
  const std::size_t offsets[][4] = {{0, 0, 0, 0}, {1, 3, 5, 7}, {13, 2, 9, 31}};
  for (const Runnable& run : runnableVariants()) {
    for (std::size_t count : kCounts) {
      for (const auto& off : offsets) {
        SCOPED_TRACE(run.name + " count " + std::to_string(count) + " offset " +
                     std::to_string(off[0]));
        Buffer planes[3] = {{count, off[0]}, {count, off[1]}, {count, off[2]}};
        for (std::size_t c = 0; c < 3; ++c)
          for (std::size_t k = 0; k < count; ++k) planes[c].data()[k] = planeByte(c, k);
        Bytes expected(3 * count);
        for (std::size_t k = 0; k < count; ++k)
          for (std::size_t c = 0; c < 3; ++c) expected[3 * k + c] = planeByte(c, k);

        Buffer pixels(3 * count, off[3]);
        run.variant->interleave(planes[0].data(), planes[1].data(), planes[2].data(), count,
                                pixels.data());
        EXPECT_EQ(pixels.contents(), expected);
        EXPECT_TRUE(pixels.guardsIntact());
        if (run.name == runnableVariants().front().name) {
          // The cache-bypassing entry, on the widest kernel this CPU runs.
          Buffer streamed(3 * count, off[3]);
          rgb::interleaveStreaming(planes[0].data(), planes[1].data(), planes[2].data(), count,
                                   streamed.data());
          EXPECT_EQ(streamed.contents(), expected);
          EXPECT_TRUE(streamed.guardsIntact());
        }

        Buffer back[3] = {{count, off[3]}, {count, off[0]}, {count, off[1]}};
        run.variant->deinterleave(pixels.data(), count, back[0].data(), back[1].data(),
                                  back[2].data());
        for (std::size_t c = 0; c < 3; ++c) {
          EXPECT_EQ(back[c].contents(), planes[c].contents()) << "plane " << c;
          EXPECT_TRUE(back[c].guardsIntact()) << "plane " << c;
        }
      }
    }
  }
}

TEST(PlanarConvert, PublicEntryPointsMatchHandWorkedBytes) {
  const unsigned char red[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  const unsigned char green[] = {101, 102, 103, 104, 105, 106, 107, 108, 109,
                                 110, 111, 112, 113, 114, 115, 116, 117};
  const unsigned char blue[] = {201, 202, 203, 204, 205, 206, 207, 208, 209,
                                210, 211, 212, 213, 214, 215, 216, 217};
  const Bytes expected = {1,  101, 201, 2,  102, 202, 3,  103, 203, 4,  104, 204, 5,
                          105, 205, 6,  106, 206, 7,  107, 207, 8,  108, 208, 9,  109,
                          209, 10, 110, 210, 11, 111, 211, 12, 112, 212, 13, 113, 213,
                          14, 114, 214, 15, 115, 215, 16, 116, 216, 17, 117, 217};
  Bytes pixels(51, 0);
  rgb::interleave(red, green, blue, 17, pixels.data());
  EXPECT_EQ(pixels, expected);

  Bytes planes[3] = {Bytes(17), Bytes(17), Bytes(17)};
  rgb::deinterleave(expected.data(), 17, planes[0].data(), planes[1].data(), planes[2].data());
  EXPECT_EQ(planes[0], Bytes(red, red + 17));
  EXPECT_EQ(planes[1], Bytes(green, green + 17));
  EXPECT_EQ(planes[2], Bytes(blue, blue + 17));

  // Nothing to do is no access at all, even through null pointers.
  rgb::interleave(nullptr, nullptr, nullptr, 0, nullptr);
  rgb::deinterleave(nullptr, 0, nullptr, nullptr, nullptr);
}

}  // namespace
