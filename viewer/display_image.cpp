// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "viewer/display_image.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "toolkit/frame.h"
#include "toolkit/marking.h"

namespace zu_korve {

unsigned char* makeDisplayImage(const unsigned char* frame, int width,
                                int height) {
  // Both factors are at most INT_MAX, so the product fits in 64 bits.
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) *
                               static_cast<std::uint64_t>(height);
  unsigned char* display = nullptr;
  if (width > 0 && height > 0 && pixels <= SIZE_MAX / toolkit::kChannels)
    display = static_cast<unsigned char*>(
        std::calloc(static_cast<std::size_t>(pixels), toolkit::kChannels));
  if (!display) {
    std::fputs("no memory for display image.\n", stderr);
    return nullptr;
  }
  toolkit::markRegionOfInterest(frame, width, height, display);
  return display;
}

}  // namespace zu_korve
