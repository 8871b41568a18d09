// rgbtool info: what a stream holds, from its headers alone.
#include <cstdio>
#include <string>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/intervals.h"
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
    std::printf("  frame size:   %llu bytes\n",
                static_cast<unsigned long long>(g.frameBytes()));
  }
  std::printf("  stray bytes:  %llu\n", static_cast<unsigned long long>(scan.strayBytes));
  if (!scan.stamps.empty()) {
    std::printf("  first stamp:  %d ms\n", scan.stamps.front());
    std::printf("  last stamp:   %d ms\n", scan.stamps.back());
  }
  const IntervalStats stats = intervalStats(scan.stamps);
  if (stats.any) {
    std::printf("  intervals:    min %lld / median %s / max %lld ms\n",
                static_cast<long long>(stats.min), formatMs(stats.median).c_str(),
                static_cast<long long>(stats.max));
  }
  if (stats.haveRate) std::printf("  frame rate:   %s fps\n", formatRate(stats.rate).c_str());
  if (!scan.damage.empty()) std::printf("  damaged:      %s\n", scan.damage.c_str());
  if (!frames) return;
  for (std::size_t i = 0; i < scan.stamps.size(); ++i) {
    std::printf("  frame %zu: stamp %d ms", i, scan.stamps[i]);
    if (i > 0)
      std::printf(", interval %lld ms",
                  static_cast<long long>(stampInterval(scan.stamps[i - 1], scan.stamps[i])));
    std::printf("\n");
  }
}

void printJson(const std::string& file, const StreamScan& scan, bool frames, bool last) {
  std::printf("  {\n    \"file\": %s,\n", jsonString(file).c_str());
  if (!scan.opened) {
    std::printf("    \"error\": %s\n  }%s\n", jsonString(scan.damage).c_str(), last ? "" : ",");
    return;
  }
  std::printf("    \"frames\": %zu,\n", scan.stamps.size());
  if (scan.haveGeometry) {
    const Geometry& g = scan.geometry;
    std::printf("    \"width\": %d,\n    \"height\": %d,\n    \"planes\": \"%s\",\n", g.width,
                g.height, planeName(g.planes));
    std::printf("    \"frame_bytes\": %llu,\n", static_cast<unsigned long long>(g.frameBytes()));
  } else {
    std::printf("    \"width\": null,\n    \"height\": null,\n    \"planes\": null,\n");
    std::printf("    \"frame_bytes\": null,\n");
  }
  std::printf("    \"stray_bytes\": %llu,\n", static_cast<unsigned long long>(scan.strayBytes));
  if (scan.stamps.empty()) {
    std::printf("    \"first_stamp_ms\": null,\n    \"last_stamp_ms\": null,\n");
  } else {
    std::printf("    \"first_stamp_ms\": %d,\n    \"last_stamp_ms\": %d,\n", scan.stamps.front(),
                scan.stamps.back());
  }
  const IntervalStats stats = intervalStats(scan.stamps);
  if (stats.any) {
    std::printf("    \"interval_ms\": {\"min\": %lld, \"median\": %s, \"max\": %lld},\n",
                static_cast<long long>(stats.min), formatMs(stats.median).c_str(),
                static_cast<long long>(stats.max));
  } else {
    std::printf("    \"interval_ms\": null,\n");
  }
  if (stats.haveRate) {
    std::printf("    \"frame_rate\": %s,\n", formatRate(stats.rate).c_str());
  } else {
    std::printf("    \"frame_rate\": null,\n");
  }
  std::printf("    \"damage\": %s", scan.damage.empty() ? "null" : jsonString(scan.damage).c_str());
  if (frames) {
    std::printf(",\n    \"frame_list\": [");
    for (std::size_t i = 0; i < scan.stamps.size(); ++i) {
      std::printf("%s\n      {\"frame\": %zu, \"stamp_ms\": %d, \"interval_ms\": ", i ? "," : "", i,
                  scan.stamps[i]);
      if (i == 0) {
        std::printf("null}");
      } else {
        std::printf("%lld}", static_cast<long long>(
                                 stampInterval(scan.stamps[i - 1], scan.stamps[i])));
      }
    }
    std::printf("%s]", scan.stamps.empty() ? "" : "\n    ");
  }
  std::printf("\n  }%s\n", last ? "" : ",");
}

}  // namespace

int runInfo(const InfoOptions& options) {
  int status = kExitOk;
  if (options.json) std::printf("[\n");
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    const std::string& file = options.files[i];
    const StreamScan scan = scanStream(file);
    // A file is reported as far as it could be read; any fault fails the run.
    if (!scan.opened || !scan.damage.empty() || scan.stamps.empty()) {
      report(file + ": " + (scan.damage.empty() ? "no whole frame" : scan.damage));
      status = kExitFailure;
    }
    std::string plotError;
    if (!options.plot.empty() && scan.opened &&
        !writeIntervalPlot(options.plot, scan.stamps, plotError)) {
      report(options.plot + ": " + plotError);
      status = kExitFailure;
    }
    if (options.json) {
      printJson(file, scan, options.frames, i + 1 == options.files.size());
    } else {
      if (i > 0) std::printf("\n");
      printText(file, scan, options.frames);
    }
  }
  if (options.json) std::printf("]\n");
  return status;
}

}  // namespace rgbtool
