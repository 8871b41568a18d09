// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Pictures in the formats rgbtool does not write itself (TIFF), encoded by
// FFmpeg's image encoders from 8-bit RGB.
#ifndef RGBTOOL_MEDIA_PICTURE_ENCODER_H
#define RGBTOOL_MEDIA_PICTURE_ENCODER_H

#include <string>
#include <vector>

#include "rgbtool/media/picture_decoder.h"

namespace rgbtool {

// The encoded picture in `bytes`; false with the reason in `error`.
bool encodePicture(const std::string& format, const DecodedPicture& picture,
                   std::vector<unsigned char>& bytes, std::string& error);

}  // namespace rgbtool

#endif  // RGBTOOL_MEDIA_PICTURE_ENCODER_H
