// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool record: frames from anything FFmpeg's libraries open (a V4L2
// camera, an X11 screen, a video file, a lavfi source) appended to a
// stream or written down a FIFO as they arrive, each stamped from its
// presentation time.
#ifndef RGBTOOL_MEDIA_RECORDER_H
#define RGBTOOL_MEDIA_RECORDER_H

#include <cstdint>
#include <string>
#include <vector>

namespace rgbtool {

struct RecordOptions {
  std::string input;
  std::string out;
  std::string format;      // FFmpeg's input format (v4l2, x11grab, lavfi...); empty: probed
  std::string size;        // the input's video_size option; empty: its own
  std::string rate;        // the input's framerate option; empty: its own
  int64_t frames = -1;     // at most this many; -1: no limit
  int64_t durationMs = -1; // frames up to this far into the input; -1: no limit
  int64_t firstStamp = -1; // the first frame's stamp; -1: the clock at start
  std::vector<std::string> inputOptions;  // more of the input's options, as KEY=VALUE
};

// Exit status: 0 when every frame captured is in the stream.
int runRecord(const RecordOptions& options);

}  // namespace rgbtool

#endif  // RGBTOOL_MEDIA_RECORDER_H
