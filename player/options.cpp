// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "player/options.h"

#include <getopt.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "player/pacing.h"
#include "toolkit/stamps.h"
#include "toolkit/standard_streams.h"

namespace rgbplay {
namespace {

constexpr const char* kProgram = "rgbplay";
// Picture sides come from 16-bit header fields; a region beyond them only
// clips, so larger values are refused as typing errors.
constexpr long kMaxCoordinate = 65535;
constexpr long kMaxThreshold = 255;
// Far beyond any stream's frames, small enough for any sum of indexes.
constexpr int64_t kMaxStartIndex = int64_t{1} << 50;
constexpr int64_t kMsPerSecond = 1000;

enum OptionId {
  kFps = 256,
  kSpeed,
  kStart,
  kLoop,
  kExitAtEnd,
  kNoFit,
  kFollow,
  kRoi,
  kThreshold,
  kHelp = 'h',
  kVersion = 'V'
};

const option kLongOptions[] = {
    {"fps", required_argument, nullptr, kFps},
    {"speed", required_argument, nullptr, kSpeed},
    {"start", required_argument, nullptr, kStart},
    {"loop", no_argument, nullptr, kLoop},
    {"exit-at-end", no_argument, nullptr, kExitAtEnd},
    {"no-fit", no_argument, nullptr, kNoFit},
    {"follow", no_argument, nullptr, kFollow},
    {"roi", required_argument, nullptr, kRoi},
    {"threshold", required_argument, nullptr, kThreshold},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

void printUsage() {
  std::printf(
      "Usage: %s [options] FILE|FIFO|-\n"
      "Plays a frame stream in a window at the pace of its time stamps: a file\n"
      "(with random access), or live from a FIFO or standard input (-).\n"
      "\n"
      "Each frame follows the one before by the step between their stamps,\n"
      "taken the short way round the stamps' 10,000 s cycle. A stamp that goes\n"
      "back or repeats is shown at once (\"back\" in the title); a step longer\n"
      "than %lld s is played as %lld s (\"jump\" in the title), so a pause in the\n"
      "recording never looks like a hang. The last frame is shown for the step\n"
      "before it (%g s for a stream's only frame) before the end, a loop or a\n"
      "damaged frame after it, which ends the run with the reason.\n"
      "\n"
      "The title reads \"rgbplay: NAME   frame I of N   time T s   stamp S ms\n"
      "R fps\": frames count from 0 (N only for a file), T is the frame's time\n"
      "from the first frame on the continuous timeline (so a gap of hours shows),\n"
      "R the rate shown. Markers follow: \"speed xF\", \"paused\", \"end\", \"jump\",\n"
      "\"back\", \"loop\", \"follow\"; before the first frame, \"waiting for frames\".\n"
      "\n"
      "Keys:\n"
      "  space        pause / resume (at the end of a file: play it again)\n"
      "  Left, Right  one frame back / forward, while paused\n"
      "  Down, Up     %lld s back / forward on the timeline, playing or paused\n"
      "  Home, End    the first / the last frame\n"
      "  + (or =), -  double / halve the speed (%g .. %g)\n"
      "  m            the marked / the plain picture\n"
      "  f            fit the picture to the window on / off\n"
      "  q, Escape    quit\n"
      "\n"
      "Options:\n"
      "  --fps N            play at N frames per second, ignoring the stamps\n"
      "  --speed F          play F times as fast (%g .. %g)\n"
      "  --start WHERE      begin at a frame: a whole number is its index (from\n"
      "                     0); a number with s or ms is a time from the first\n"
      "                     frame on the timeline (4.5s, 4500ms), and the first\n"
      "                     frame at or after it is played first\n"
      "  --loop             play a file again from its first frame after its last\n"
      "  --exit-at-end      end with status 0 once the last frame has been shown\n"
      "                     for its time, instead of waiting for a key\n"
      "  --no-fit           show pictures at their own size, even when larger\n"
      "                     than the screen\n"
      "  --follow           keep a regular file open and show frames appended\n"
      "                     to it\n"
      "  --roi X,Y,W,H      region of interest: columns X .. X+W, rows Y .. Y+H\n"
      "                     counted from the bottom row (default %d,%d,%d,%d)\n"
      "  --threshold N      channels above N (0 .. 255) count as bright inside\n"
      "                     the region (default %d)\n"
      "  -h, --help         print this message and exit\n"
      "  -V, --version      print the version and exit\n"
      "\n"
      "Examples:\n"
      "  Play a recording from 90 s on, four times as fast:\n"
      "    $ rgbplay --start 90s --speed 4 recording.rgb\n"
      "  Show frame 120 to the last one, then return (in a script):\n"
      "    $ rgbplay --exit-at-end --start 120 recording.rgb\n"
      "  Watch a file that a recorder is still writing:\n"
      "    $ rgbplay --follow growing.rgb\n"
      "  Watch a producer live:\n"
      "    $ producer | rgbplay -\n",
      kProgram, static_cast<long long>(kJumpCapMs / kMsPerSecond),
      static_cast<long long>(kJumpCapMs / kMsPerSecond), kDefaultHoldMs / kMsPerSecond,
      static_cast<long long>(kSeekStepMs / kMsPerSecond), kMinSpeed, kMaxSpeed, kMinSpeed,
      kMaxSpeed, toolkit::kViewerRegion.x, toolkit::kViewerRegion.y,
      toolkit::kViewerRegion.width, toolkit::kViewerRegion.height,
      toolkit::kViewerRegion.threshold);
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

// A whole decimal number of at most `high` from [text, end): digits only.
bool parseWhole(const char* text, const char* end, int64_t high, int64_t* value) {
  if (text == end || *text < '0' || *text > '9') return false;
  const auto [stop, error] = std::from_chars(text, end, *value);
  return error == std::errc() && stop == end && *value <= high;
}

// "120" (a frame index), or a time with its unit ("4.5s", "4500ms").
bool parseStart(const std::string& text, StartPoint* start, std::string* error) {
  int64_t value = 0;
  if (parseWhole(text.data(), text.data() + text.size(), kMaxStartIndex, &value)) {
    *start = {StartPoint::Kind::Index, value};
    return true;
  }
  if (!toolkit::parseTime(text, value, *error)) return false;
  *start = {StartPoint::Kind::Time, value};
  return true;
}

// Options that contradict each other.
std::string conflict(const Options& options) {
  if (options.loop && options.exitAtEnd) return "--loop never reaches an end for --exit-at-end";
  if (options.follow && options.loop) return "--follow waits for more frames; --loop cannot";
  if (options.follow && options.exitAtEnd)
    return "--follow waits for more frames, so --exit-at-end never comes";
  return "";
}

// Help and version text that never reached standard output (closed, a full
// disk) is a failure, not a success.
int finishStandardOutput() {
  std::string error;
  if (toolkit::finishStdout(error)) return kExitOk;
  toolkit::report(error);
  return kExitFailure;
}

}  // namespace

std::string describe(const StartPoint& start) {
  if (start.kind == StartPoint::Kind::Index) return "frame " + std::to_string(start.value);
  char text[64];
  std::snprintf(text, sizeof text, "%lld.%03lld s",
                static_cast<long long>(start.value / kMsPerSecond),
                static_cast<long long>(start.value % kMsPerSecond));
  return text;
}

int usageError(const std::string& message) {
  toolkit::report(message);
  std::fprintf(stderr, "Try '%s --help'.\n", kProgram);
  return kExitUsage;
}

int parseCommandLine(int argc, char** argv, Options& options) {
  opterr = 0;  // our own messages, in our own form
  for (;;) {
    const int option = getopt_long(argc, argv, ":hV", kLongOptions, nullptr);
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
      case kStart: {
        std::string error;
        if (!parseStart(optarg, &options.start, &error))
          return usageError("--start wants a frame index (a whole number) or a time: " + error);
        break;
      }
      case kLoop:
        options.loop = true;
        break;
      case kExitAtEnd:
        options.exitAtEnd = true;
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
        return finishStandardOutput();
      case kVersion:
        std::printf("%s\n", toolkit::versionLine().c_str());
        return finishStandardOutput();
      case ':':
        return usageError(std::string(argv[optind - 1]) + " needs a value");
      default: {
        // optopt names an unknown short option even inside a group (-xh).
        const std::string given =
            optopt != 0 ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
        return usageError("unknown option '" + given + "'");
      }
    }
  }
  if (optind >= argc) return usageError("no input: name a file, a FIFO or - for standard input");
  if (argc - optind > 1) return usageError("one input only, not '" + std::string(argv[optind + 1]) + "'");
  options.input = argv[optind];
  if (options.input.empty()) return usageError("the input name is empty");
  const std::string contradiction = conflict(options);
  if (!contradiction.empty()) return usageError(contradiction);
  return kContinue;
}

}  // namespace rgbplay
