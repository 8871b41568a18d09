// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The video encoder, run in the program rgbtool-video so that only
// `rgbtool video` loads FFmpeg's libraries: what it is asked to do, and
// the run itself.
#ifndef RGBTOOL_VIDEO_ENCODER_H
#define RGBTOOL_VIDEO_ENCODER_H

#include <cstdint>
#include <string>

namespace rgbtool {

struct VideoOptions {
  std::string file;
  std::string out;
  int crf = 23;
  bool crfGiven = false;
  std::string codec;  // empty: libx264, else the default H.264 encoder
  bool overwrite = false;  // an existing OUT may be replaced
  int64_t frames = -1;      // at most this many frames; -1: all
  int64_t durationMs = -1;  // frames up to this far after the first on the stream's timeline
};

// Encodes options.file into options.out; returns the exit status.
int runVideo(const VideoOptions& options);

}  // namespace rgbtool

#endif  // RGBTOOL_VIDEO_ENCODER_H
