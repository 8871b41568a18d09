// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbplay's command line.
#ifndef RGBPLAY_OPTIONS_H
#define RGBPLAY_OPTIONS_H

#include <string>

#include "toolkit/marking.h"

namespace rgbplay {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Returned by parseCommandLine when the program goes on.
constexpr int kContinue = -1;

// Speeds are powers of two apart on the keys; both bounds are reachable.
constexpr double kMinSpeed = 1.0 / 64;
constexpr double kMaxSpeed = 64;
constexpr double kMaxFps = 1000;

struct Options {
  std::string input;  // a file, a FIFO, or "-" for standard input
  double fps = 0;     // 0: at the pace of the time stamps
  double speed = 1;
  bool fit = true;
  bool follow = false;
  toolkit::MarkingRegion region = toolkit::kViewerRegion;
};

// Fills `options` from the command line. Returns kContinue to go on, or the
// exit status after printing what that outcome prints (usage on stdout for
// --help, a message on stderr for a usage error).
int parseCommandLine(int argc, char** argv, Options& options);

}  // namespace rgbplay

#endif  // RGBPLAY_OPTIONS_H
