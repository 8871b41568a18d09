// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool info: what a stream holds, from its headers alone.
#include <cmath>
#include <cstdio>
#include <string>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "toolkit/stamps.h"
#include "rgbtool/json.h"
#include "rgbtool/plot.h"
#include "rgbtool/stream_scan.h"

namespace rgbtool {
namespace {

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
  constexpr double kRateDecimals = 1000.0;
  Json out = Json::object();
  setFileName(out, file);
  if (!scan.opened) {
    out["error"] = utf8Text(scan.damage);
    return out;
  }
  out["frames"] = scan.stamps.size();
  setGeometry(out, scan);
  out["frame_bytes"] = scan.frameBytes > 0 ? Json(scan.frameBytes) : Json(nullptr);
  out["stray_bytes"] = scan.strayBytes;
  out["first_stamp_ms"] = scan.stamps.empty() ? Json(nullptr) : Json(scan.stamps.front());
  out["last_stamp_ms"] = scan.stamps.empty() ? Json(nullptr) : Json(scan.stamps.back());
  const toolkit::StampStats stats = toolkit::stampStats(scan.stamps);
  if (stats.any) {
    out["interval_ms"] = {{"min", stats.min}, {"median", stats.median}, {"max", stats.max}};
  } else {
    out["interval_ms"] = nullptr;
  }
  out["frame_rate"] = stats.rate > 0 ? Json(std::round(stats.rate * kRateDecimals) / kRateDecimals)
                                     : Json(nullptr);
  const std::string problem = scan.problem();
  out["damage"] = problem.empty() ? Json(nullptr) : Json(utf8Text(problem));
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

}  // namespace

int runInfo(const InfoOptions& options) {
  int status = kExitOk;
  Json all = Json::array();
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
    if (!options.plot.empty() && scan.opened &&
        !writeIntervalPlot(options.plot, scan.stamps, plotError)) {
      report(options.plot + ": " + plotError);
      status = kExitFailure;
    }
    if (options.json) {
      all.push_back(jsonOf(file, scan, options.frames));
    } else {
      if (i > 0) std::printf("\n");
      printText(file, scan, options.frames);
    }
  }
  if (options.json) std::printf("%s\n", all.dump(2).c_str());
  return status;
}

}  // namespace rgbtool
