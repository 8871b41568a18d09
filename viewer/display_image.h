// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The display image: frame 0 of the input with the region of interest
// marked, in a buffer of its own.
#ifndef ZU_KORVE_DISPLAY_IMAGE_H
#define ZU_KORVE_DISPLAY_IMAGE_H

namespace zu_korve {

// Allocates a zero-filled width x height RGB buffer (malloc family; the
// caller frees it) and fills it from `frame` with the marking. On failure
// prints "no memory for display image.\n" on stderr and returns null.
// width and height must be positive.
unsigned char* makeDisplayImage(const unsigned char* frame, int width,
                                int height);

}  // namespace zu_korve

#endif  // ZU_KORVE_DISPLAY_IMAGE_H
