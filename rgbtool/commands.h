// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The subcommands, each with the options its command line gave.
#ifndef RGBTOOL_COMMANDS_H
#define RGBTOOL_COMMANDS_H

#include <cstdint>
#include <string>
#include <vector>

namespace rgbtool {

struct InfoOptions {
  std::vector<std::string> files;
  bool frames = false;
  bool json = false;
  std::string plot;  // PNG of the frame intervals; empty: none
};

// Which frames of a stream: one (--frame), or a run of them (--all, --start,
// --count, --step) from `start` on, every `step`th, `count` of them or up to
// the end.
struct FrameSelection {
  int64_t frame = 0;
  bool all = false;
  int64_t start = 0;
  int64_t count = -1;  // -1: up to the end
  int64_t step = 1;
  bool range = false;  // --start, --count or --step given

  bool many() const { return all || range; }
  int64_t first() const { return many() ? start : frame; }
};

// export and mark: which frames go where.
struct FrameOutputOptions {
  std::string file;
  std::string out;
  FrameSelection frames;
  std::string format;  // empty: from OUT's extension
  bool overwrite = false;
};

struct ImportOptions {
  std::string out;
  std::vector<std::string> images;
  bool fixedStamps = false;
  int64_t startMs = 0;
  int64_t intervalMs = 0;
  bool fresh = false;         // --new: the stream starts afresh
  int64_t pictureStart = -1;  // first number of a numbered picture name; -1: the lowest there is
};

struct WatchOptions {
  std::string pipe;
  bool json = false;
  bool follow = false;     // a regular file that grows, until interrupted
  bool fromStart = false;  // with follow: its frames so far first
};

struct VideoOptions {
  std::string file;
  std::string out;
  int crf = 23;
  bool crfGiven = false;
  std::string codec;  // empty: libx264, else the default H.264 encoder
};

struct SheetOptions {
  std::string file;
  std::string out;
  int every = 1;
  int columns = 8;
  int tileWidth = 0;  // 0: the frame's width, at most 320
};

struct CheckOptions {
  std::vector<std::string> files;
  bool quiet = false;
  bool strict = false;  // stamps going backwards or repeating fail the file
  bool json = false;
};

// Each returns the process exit status.
int runInfo(const InfoOptions& options);
int runExport(const FrameOutputOptions& options);
int runImport(const ImportOptions& options);
int runMark(const FrameOutputOptions& options);
int runWatch(const WatchOptions& options);
int runCheck(const CheckOptions& options);
int runVideo(const VideoOptions& options);
// Runs runVideo in the encoder program rgbtool-video (replacing this process).
int launchVideo(const VideoOptions& options);
int runSheet(const SheetOptions& options);

}  // namespace rgbtool

#endif  // RGBTOOL_COMMANDS_H
