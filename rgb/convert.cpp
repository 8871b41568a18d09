// SPDX-License-Identifier: MIT
#include "rgb/convert.h"

namespace rgb {

void interleave(const unsigned char* red, const unsigned char* green, const unsigned char* blue,
                std::size_t count, unsigned char* out) {
  for (std::size_t k = 0; k < count; ++k) {
    out[3 * k] = red[k];
    out[3 * k + 1] = green[k];
    out[3 * k + 2] = blue[k];
  }
}

void deinterleave(const unsigned char* in, std::size_t count, unsigned char* red,
                  unsigned char* green, unsigned char* blue) {
  for (std::size_t k = 0; k < count; ++k) {
    red[k] = in[3 * k];
    green[k] = in[3 * k + 1];
    blue[k] = in[3 * k + 2];
  }
}

}  // namespace rgb
