// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbplay's command line.
#ifndef RGBPLAY_OPTIONS_H
#define RGBPLAY_OPTIONS_H

#include <cstdint>
#include <string>

#include "toolkit/marking.h"
#include "toolkit/program.h"

namespace rgbplay {

using toolkit::kExitFailure;
using toolkit::kExitOk;
using toolkit::kExitUsage;
// Returned by parseCommandLine when the program goes on.
constexpr int kContinue = -1;

// Speeds are powers of two apart on the keys; both bounds are reachable.
constexpr double kMinSpeed = 1.0 / 64;
constexpr double kMaxSpeed = 64;
constexpr double kMaxFps = 1000;

// Where playing begins: a frame index, or a time in milliseconds on the
// continuous timeline (0 is the first frame).
struct StartPoint {
  enum class Kind { Index, Time };
  Kind kind = Kind::Index;
  int64_t value = 0;
};
// "frame 120" or "4.5 s", for messages.
std::string describe(const StartPoint& start);

struct Options {
  std::string input;  // a file, a FIFO, or "-" for standard input
  double fps = 0;     // 0: at the pace of the time stamps
  double speed = 1;
  bool fit = true;
  bool follow = false;
  bool loop = false;
  bool exitAtEnd = false;
  StartPoint start;
  toolkit::MarkingRegion region = toolkit::kViewerRegion;
};

// Fills `options` from the command line. Returns kContinue to go on, or the
// exit status after printing what that outcome prints (usage or version on
// stdout, a message on stderr for a usage error).
int parseCommandLine(int argc, char** argv, Options& options);

// Prints a usage error ("rgbplay: MESSAGE" and a hint) and returns
// kExitUsage; also for mistakes found once the input has been looked at.
int usageError(const std::string& message);

}  // namespace rgbplay

#endif  // RGBPLAY_OPTIONS_H
