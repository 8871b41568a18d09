// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool-media: the picture decoder behind rgbtool import for the formats
// it does not read itself, a program of its own so that only such imports
// load FFmpeg's libraries. `rgbtool-media decode FILE` writes the picture
// as a binary 8-bit PPM on standard output; `rgbtool-media encode FORMAT`
// reads one such PPM on standard input and writes it in FORMAT (tiff) on
// standard output. A failure puts the reason on standard error, with exit
// status 1. `rgbtool-media record INPUT OUT FORMAT SIZE RATE FRAMES DURATION_MS
// FIRST_STAMP [KEY=VALUE...]` records for `rgbtool record`, which has checked them (empty
// words and -1 stand for "not given").
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "rgbtool/media/picture_decoder.h"
#include "rgbtool/media/picture_encoder.h"
#include "rgbtool/media/recorder.h"
#include "rgbtool/pictures/image_io.h"
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

// The picture arrives bottom row first from the PPM reader; encoders
// want the top row first.
void topRowFirst(const rgbtool::Image& image, rgbtool::DecodedPicture& picture) {
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
  picture.width = image.width;
  picture.height = image.height;
  picture.rgb.resize(rowBytes * static_cast<std::size_t>(image.height));
  for (int row = 0; row < image.height; ++row)
    std::memcpy(picture.rgb.data() + static_cast<std::size_t>(row) * rowBytes,
                image.pixels.get() + static_cast<std::size_t>(image.height - 1 - row) * rowBytes,
                rowBytes);
}

int encode(const std::string& format) {
  rgbtool::Image image;
  std::string error;
  if (rgbtool::readNextPicture(stdin, image, error) != rgbtool::NextPicture::Read) {
    std::fprintf(stderr, "no picture handed over%s%s\n", error.empty() ? "" : ": ", error.c_str());
    return kFailed;
  }
  rgbtool::DecodedPicture picture;
  topRowFirst(image, picture);
  image = {};
  std::vector<unsigned char> bytes;
  if (!rgbtool::encodePicture(format, picture, bytes, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kFailed;
  }
  if (!toolkit::writeAll(STDOUT_FILENO, bytes.data(), bytes.size())) {
    std::fprintf(stderr, "cannot write: %s\n", std::strerror(errno));
    return kFailed;
  }
  return 0;
}

}  // namespace

int record(char** words, int count) {
  rgbtool::RecordOptions options;
  options.input = words[0];
  options.out = words[1];
  options.format = words[2];
  options.size = words[3];
  options.rate = words[4];
  options.frames = std::strtoll(words[5], nullptr, 10);
  options.durationMs = std::strtoll(words[6], nullptr, 10);
  options.firstStamp = std::strtoll(words[7], nullptr, 10);
  for (int i = 8; i < count; ++i) options.inputOptions.push_back(words[i]);
  return rgbtool::runRecord(options);
}

constexpr int kRecordWords = 10;

int main(int argc, char** argv) {
  if (argc >= kRecordWords && std::strcmp(argv[1], "record") == 0)
    return record(argv + 2, argc - 2);
  const bool decoding = argc == 3 && std::strcmp(argv[1], "decode") == 0;
  const bool encoding = argc == 3 && std::strcmp(argv[1], "encode") == 0;
  if (!decoding && !encoding) {
    std::fprintf(stderr, "rgbtool-media is run by rgbtool's import, export and record; see their --help.\n");
    return kUsage;
  }
  // The reason goes back in one line; FFmpeg's own chatter would only repeat it.
  av_log_set_level(AV_LOG_QUIET);
  return decoding ? decode(argv[2]) : encode(argv[2]);
}
