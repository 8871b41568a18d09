// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Pictures in the formats rgbtool does not read itself (SGI images of every
// flavour, TIFF, JPEG, and whatever else FFmpeg's image decoders know),
// decoded to 8-bit RGB: grey becomes equal red, green and blue, alpha is
// dropped, and samples wider than 8 bits are rounded to the nearest 8-bit
// value, as import does with 16-bit PNG.
#ifndef RGBTOOL_MEDIA_PICTURE_DECODER_H
#define RGBTOOL_MEDIA_PICTURE_DECODER_H

#include <string>
#include <vector>

namespace rgbtool {

struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;  // interleaved, top row first
};

// false with the reason in `error`.
bool decodePicture(const std::string& path, DecodedPicture& picture, std::string& error);

}  // namespace rgbtool

#endif  // RGBTOOL_MEDIA_PICTURE_DECODER_H
