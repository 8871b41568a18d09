// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/cli/options.h"

#include <algorithm>

namespace rgbtool {
namespace cli {
namespace {

// More digits could overflow the conversion before the range is judged.
constexpr std::size_t kMaxDigits = 19;

}  // namespace

CLI::Validator wholeNumber(int64_t min, int64_t max, const std::string& unit) {
  const std::string range = "a whole number of " + unit + " from " + std::to_string(min) +
                            " to " + std::to_string(max);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        const bool digits = !text.empty() && text.size() <= kMaxDigits &&
                            std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        if (!digits) return "'" + text + "' is not " + range + " (digits only)";
        const long long value = std::stoll(text);
        if (value < min) return "'" + text + "' is too small: " + range;
        if (value > max) return "'" + text + "' is too large: " + range;
        return std::string();
      },
      "");
}

void addFrameSelectionOptions(CLI::App& command, FrameSelection& selection,
                              const std::string& what) {
  auto* frame = command.add_option("-f,--frame", selection.frame,
                                   "Number of the one frame to " + what + " (default 0)");
  frame->check(wholeNumber(0, kMaxFrameNumber, "frames"));
  auto* all = command.add_flag("-a,--all", selection.all, "Every frame");
  auto marksRange = [&selection](const std::string&) { selection.range = true; };
  auto* start = command.add_option("--start", selection.start,
                                   "First frame of a run of frames (default 0)");
  start->check(wholeNumber(0, kMaxFrameNumber, "frames"))->each(marksRange);
  auto* count = command.add_option("--count", selection.count,
                                   "Frames in the run at most (default: up to the end)");
  count->check(wholeNumber(1, kMaxFrameNumber, "frames"))->each(marksRange);
  auto* step = command.add_option("--step", selection.step,
                                  "Every Nth frame of the run (default 1)");
  step->check(wholeNumber(1, kMaxFrameNumber, "frames"))->each(marksRange);
  for (CLI::Option* other : {all, start, count, step}) frame->excludes(other);
}

void addFrameOutputOptions(CLI::App& command, FrameOutputOptions& options,
                           const std::string& what) {
  addFrameSelectionOptions(command, options.frames, what);
  command
      .add_option("--format", options.format,
                  "png, ppm, tiff or raw (bare RGB rows, top row first) (default: from OUT's "
                  "extension; needed for -)")
      ->check(CLI::IsMember({"png", "ppm", "pnm", "tiff", "tif", "raw"}, CLI::ignore_case));
  command.add_flag("-y,--overwrite", options.overwrite, "Replace pictures that exist");
  command.add_option("FILE", options.file, "Frame stream (- reads standard input)")->required();
  command
      .add_option("OUT", options.out,
                  "Picture to write (.png, .ppm, .tiff/.tif or .raw); for several frames a name with %d "
                  "(or %04d etc.) for the frame number, or - to write them one after another "
                  "to standard output; {stamp} in the name is the frame's stamp in ms, seven "
                  "digits")
      ->required();
}

}  // namespace cli
}  // namespace rgbtool
