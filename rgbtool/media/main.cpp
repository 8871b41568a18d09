// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool-media: the picture decoder behind rgbtool import for the formats
// it does not read itself, a program of its own so that only such imports
// load FFmpeg's libraries. `rgbtool-media decode FILE` writes the picture
// as a binary 8-bit PPM on standard output, or the reason it cannot on
// standard error with exit status 1.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "rgbtool/media/picture_decoder.h"
#include "toolkit/write_all.h"

namespace {

constexpr int kUsage = 2;
constexpr int kFailed = 1;

int decode(const char* path) {
  rgbtool::DecodedPicture picture;
  std::string error;
  if (!rgbtool::decodePicture(path, picture, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kFailed;
  }
  const std::string header = "P6\n" + std::to_string(picture.width) + " " +
                             std::to_string(picture.height) + "\n255\n";
  if (!toolkit::writeAll(STDOUT_FILENO, header.data(), header.size()) ||
      !toolkit::writeAll(STDOUT_FILENO, picture.rgb.data(), picture.rgb.size())) {
    std::fprintf(stderr, "cannot hand the picture over: %s\n", std::strerror(errno));
    return kFailed;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "decode") != 0) {
    std::fprintf(stderr, "rgbtool-media is run by 'rgbtool import'; see 'rgbtool import --help'.\n");
    return kUsage;
  }
  // The reason goes back in one line; FFmpeg's own chatter would only repeat it.
  av_log_set_level(AV_LOG_QUIET);
  return decode(argv[2]);
}
