// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool info: what a stream holds, from its headers alone.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/cli/command_line.h"
#include "rgbtool/commands/registry.h"
#include "rgbtool/input/stream_scan.h"
#include "rgbtool/pictures/plot.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/report/json.h"
#include "toolkit/output.h"
#include "toolkit/stamps.h"

namespace rgbtool {
namespace {

struct Options {
  std::vector<std::string> files;
  bool frames = false;
  bool json = false;
  std::string plot;  // PNG of the frame intervals; empty: none
  bool overwrite = false;
};

constexpr const char* kFooter = R"(--json prints one object per line and FILE; a figure the stream cannot give
(the intervals of a single frame, say) is null.

JSON keys:
  file                the name as given; a byte that is not part of valid UTF-8 shows as U+00XX
  file_hex            the name's bytes in hexadecimal, only when the name is not valid UTF-8
  ok                  true when the stream is clean
  frames              whole frames (null when the file cannot be read)
  width, height       pixels of a frame (null without a first header)
  planes              "RGB" or "RGBA"
  stray_bytes         bytes after the last whole frame
  problem             what makes the stream unclean, or null
  frame_bytes         bytes a frame takes in the stream
  first_stamp_ms      the first frame's stamp
  last_stamp_ms       the last frame's stamp
  duration_ms         from the first frame to the last, across the 10,000 s wrap
  min_interval_ms     the smallest step from one frame's stamp to the next
  median_interval_ms  the median step
  max_interval_ms     the largest step
  frame_rate          frames per second over the duration, three decimals
  frame_list          with --frames: {"frame", "stamp_ms", "interval_ms"} per frame

Examples:
  $ rgbtool info recording.rgb
  $ rgbtool info --frames recording.rgb
  $ rgbtool info --json *.rgb | jq -r 'select(.ok) | .file'
  $ rgbtool info --plot intervals.png recording.rgb

Exit status:
  0   every FILE is a clean stream (and the plot was written)
  1   a FILE cannot be read or is not a clean stream, the plot failed (an existing
      picture without -y, the input itself), or the report could not be written
  2   a usage error (also --plot -: the report takes standard output))";

void printText(const std::string& file, const StreamScan& scan, bool frames) {
  std::printf("%s:\n", file.c_str());
  if (!scan.opened) {
    std::printf("  error:        %s\n", scan.damage.c_str());
    return;
  }
  std::printf("  frames:       %zu\n", scan.stamps.size());
  if (scan.haveGeometry) {
    const Geometry& g = scan.geometry;
    std::printf("  size:         %d x %d\n", g.width, g.height);
    std::printf("  planes:       %s\n", planeName(g.planes));
    if (scan.frameBytes > 0)
      std::printf("  frame size:   %llu bytes\n",
                  static_cast<unsigned long long>(scan.frameBytes));
  }
  std::printf("  stray bytes:  %llu\n", static_cast<unsigned long long>(scan.strayBytes));
  if (!scan.stamps.empty()) {
    std::printf("  first stamp:  %d ms\n", scan.stamps.front());
    std::printf("  last stamp:   %d ms\n", scan.stamps.back());
  }
  const toolkit::StampStats stats = toolkit::stampStats(scan.stamps);
  if (stats.any) {
    std::printf("  intervals:    min %lld / median %s / max %lld ms\n",
                static_cast<long long>(stats.min), toolkit::formatMs(stats.median).c_str(),
                static_cast<long long>(stats.max));
  }
  if (stats.rate > 0) std::printf("  frame rate:   %s fps\n", toolkit::formatRate(stats.rate).c_str());
  const std::string problem = scan.problem();
  if (!problem.empty()) std::printf("  damaged:      %s\n", problem.c_str());
  if (!frames) return;
  for (std::size_t i = 0; i < scan.stamps.size(); ++i) {
    std::printf("  frame %zu: stamp %d ms", i, scan.stamps[i]);
    if (i > 0)
      std::printf(", interval %lld ms",
                  static_cast<long long>(toolkit::stampDelta(scan.stamps[i - 1], scan.stamps[i])));
    std::printf("\n");
  }
}

// The same figures as the text, rates rounded as the text shows them.
Json jsonOf(const std::string& file, const StreamScan& scan, bool frames) {
  Json out = streamJson(file, scan, scan.problem());
  const bool any = !scan.stamps.empty();
  const toolkit::StampStats stats = toolkit::stampStats(scan.stamps);
  const auto interval = [&stats](auto value) { return stats.any ? Json(value) : Json(nullptr); };
  out["frame_bytes"] = scan.frameBytes > 0 ? Json(scan.frameBytes) : Json(nullptr);
  out["first_stamp_ms"] = any ? Json(scan.stamps.front()) : Json(nullptr);
  out["last_stamp_ms"] = any ? Json(scan.stamps.back()) : Json(nullptr);
  out["duration_ms"] = any ? Json(stats.durationMs) : Json(nullptr);
  out["min_interval_ms"] = interval(stats.min);
  out["median_interval_ms"] = interval(stats.median);
  out["max_interval_ms"] = interval(stats.max);
  out["frame_rate"] = rateJson(stats.rate);
  if (frames) {
    Json list = Json::array();
    for (std::size_t i = 0; i < scan.stamps.size(); ++i) {
      list.push_back({{"frame", i},
                      {"stamp_ms", scan.stamps[i]},
                      {"interval_ms", i == 0 ? Json(nullptr)
                                             : Json(toolkit::stampDelta(scan.stamps[i - 1],
                                                                  scan.stamps[i]))}});
    }
    out["frame_list"] = list;
  }
  return out;
}

int run(const Options& options) {
  if (!options.plot.empty()) {
    if (options.files.size() != 1) return cli::usageError("info --plot takes one FILE");
    // The report is this command's result and takes standard output, so a
    // picture there would be mixed into it.
    if (toolkit::namesStdout(options.plot))
      return cli::usageError("--plot cannot write to standard output, which takes the report");
  }
  int status = kExitOk;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    const std::string& file = options.files[i];
    const StreamScan scan = scanStream(file);
    // A file is reported as far as it could be read; any fault fails the run,
    // as it fails check.
    const std::string problem = scan.problem();
    if (!problem.empty()) {
      report(file + ": " + problem);
      status = kExitFailure;
    }
    std::string plotError;
    WriteOptions how;
    how.replace = options.overwrite;
    how.inputs = options.files;
    if (!options.plot.empty() && scan.opened &&
        !writeIntervalPlot(options.plot, scan.stamps, plotError, how)) {
      report(options.plot + ": " + plotError);
      status = kExitFailure;
    }
    if (options.json) {
      printJsonLine(jsonOf(file, scan, options.frames));
    } else {
      if (i > 0) std::printf("\n");
      printText(file, scan, options.frames);
    }
  }
  return status;
}

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  command.add_flag("--frames", options->frames, "Add one line per frame");
  command.add_flag("--json", options->json,
                   "Print one JSON object per line and FILE, for scripts (keys below)");
  command.add_option("FILE", options->files, "Frame streams (- reads standard input)")
      ->required();
  command.add_option("--plot", options->plot,
                     "Also draw the frame intervals of the one FILE into a PNG: a blue line, "
                     "stamps going backwards in red below the zero line (not '-': the "
                     "report takes standard output)");
  command.add_flag("-y,--overwrite", options->overwrite, "Replace an existing --plot picture");
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command infoCommand() {
  return {"info", "Frames, size, stray bytes, time stamps and frame rate of streams", declare};
}

}  // namespace commands
}  // namespace rgbtool
