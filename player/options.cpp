// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "player/options.h"

#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace rgbplay {
namespace {

constexpr const char* kProgram = "rgbplay";
// Picture sides come from 16-bit header fields; a region beyond them only
// clips, so larger values are refused as typing errors.
constexpr long kMaxCoordinate = 65535;
constexpr long kMaxThreshold = 255;

enum LongOnly { kFps = 256, kSpeed, kNoFit, kFollow, kRoi, kThreshold, kHelp };

const option kLongOptions[] = {
    {"fps", required_argument, nullptr, kFps},
    {"speed", required_argument, nullptr, kSpeed},
    {"no-fit", no_argument, nullptr, kNoFit},
    {"follow", no_argument, nullptr, kFollow},
    {"roi", required_argument, nullptr, kRoi},
    {"threshold", required_argument, nullptr, kThreshold},
    {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0},
};

void printUsage() {
  std::printf(
      "Usage: %s [options] FILE|FIFO|-\n"
      "Plays a frame stream in a window at the pace of its time stamps.\n"
      "\n"
      "Options:\n"
      "  --fps N            play at N frames per second, ignoring the stamps\n"
      "  --speed F          play F times as fast (%g .. %g)\n"
      "  --no-fit           show pictures at their own size, even when larger\n"
      "                     than the screen\n"
      "  --follow           keep a regular file open and show frames appended\n"
      "                     to it\n"
      "  --roi X,Y,W,H      region of interest: columns X .. X+W, rows Y .. Y+H\n"
      "                     counted from the bottom row (default %d,%d,%d,%d)\n"
      "  --threshold N      channels above N (0 .. 255) count as bright inside\n"
      "                     the region (default %d)\n"
      "  --help             print this message\n"
      "\n"
      "Keys: space pause/resume, Left/Right one frame back/forward when\n"
      "paused, Home/End first/last frame, + and - speed, m marked/plain view,\n"
      "f fit to the window on/off, q or Escape quit.\n",
      kProgram, kMinSpeed, kMaxSpeed, toolkit::kViewerRegion.x, toolkit::kViewerRegion.y,
      toolkit::kViewerRegion.width, toolkit::kViewerRegion.height,
      toolkit::kViewerRegion.threshold);
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, message.c_str(), kProgram);
  return kExitUsage;
}

// A whole decimal number in [low, high] from the start of `text`; `end`
// receives where it stopped.
bool parseLong(const char* text, long low, long high, long* value, const char** end) {
  if (*text < '0' || *text > '9') return false;
  char* stop = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &stop, 10);
  if (errno != 0 || parsed < low || parsed > high) return false;
  *value = parsed;
  *end = stop;
  return true;
}

bool parseWholeLong(const char* text, long low, long high, long* value) {
  const char* end = nullptr;
  return parseLong(text, low, high, value, &end) && *end == '\0';
}

bool parsePositive(const char* text, double high, double* value) {
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0 || !std::isfinite(parsed) || parsed <= 0 ||
      parsed > high)
    return false;
  *value = parsed;
  return true;
}

bool parseRegion(const char* text, toolkit::MarkingRegion* region) {
  long values[4] = {};
  const char* at = text;
  for (int k = 0; k < 4; ++k) {
    const char* end = nullptr;
    const long low = k < 2 ? 0 : 1;  // a region has some width and height
    if (!parseLong(at, low, kMaxCoordinate, &values[k], &end)) return false;
    if (*end != (k < 3 ? ',' : '\0')) return false;
    at = end + 1;
  }
  region->x = static_cast<int>(values[0]);
  region->y = static_cast<int>(values[1]);
  region->width = static_cast<int>(values[2]);
  region->height = static_cast<int>(values[3]);
  return true;
}

}  // namespace

int parseCommandLine(int argc, char** argv, Options& options) {
  opterr = 0;  // our own messages, in our own form
  for (;;) {
    const int option = getopt_long(argc, argv, ":", kLongOptions, nullptr);
    if (option == -1) break;
    switch (option) {
      case kFps:
        if (!parsePositive(optarg, kMaxFps, &options.fps))
          return usageError("--fps wants a number above 0 and at most 1000, not '" +
                            std::string(optarg) + "'");
        break;
      case kSpeed:
        if (!parsePositive(optarg, kMaxSpeed, &options.speed) || options.speed < kMinSpeed)
          return usageError("--speed wants a factor from 1/64 to 64, not '" +
                            std::string(optarg) + "'");
        break;
      case kNoFit:
        options.fit = false;
        break;
      case kFollow:
        options.follow = true;
        break;
      case kRoi:
        if (!parseRegion(optarg, &options.region))
          return usageError("--roi wants X,Y,W,H (whole numbers up to 65535, W and H "
                            "at least 1), not '" + std::string(optarg) + "'");
        break;
      case kThreshold: {
        long threshold = 0;
        if (!parseWholeLong(optarg, 0, kMaxThreshold, &threshold))
          return usageError("--threshold wants a whole number from 0 to 255, not '" +
                            std::string(optarg) + "'");
        options.region.threshold = static_cast<int>(threshold);
        break;
      }
      case kHelp:
        printUsage();
        return kExitOk;
      case ':':
        return usageError(std::string(argv[optind - 1]) + " needs a value");
      default:
        return usageError("unknown option '" + std::string(argv[optind - 1]) + "'");
    }
  }
  if (optind >= argc) return usageError("no input: name a file, a FIFO or - for standard input");
  if (argc - optind > 1) return usageError("one input only, not '" + std::string(argv[optind + 1]) + "'");
  options.input = argv[optind];
  if (options.input.empty()) return usageError("the input name is empty");
  return kContinue;
}

}  // namespace rgbplay
