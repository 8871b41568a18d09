// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool check: is every file a clean stream?
#include <cstdio>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/json.h"
#include "rgbtool/stream_scan.h"

namespace rgbtool {
namespace {

std::string framesText(std::size_t n) {
  return std::to_string(n) + " frame" + (n == 1 ? "" : "s");
}

// What is wrong under the options; empty when the file passes.
std::string failure(const StreamScan& scan, const std::vector<toolkit::StampFault>& warnings,
                    bool strict) {
  std::string why = scan.problem();
  if (strict && !warnings.empty()) {
    if (!why.empty()) why += "; ";
    why += "stamps go backwards or repeat at " + framesText(warnings.size());
  }
  return why;
}

Json jsonOf(const std::string& file, const StreamScan& scan,
            const std::vector<toolkit::StampFault>& warnings, const std::string& why) {
  Json out = Json::object();
  setFileName(out, file);
  out["ok"] = why.empty();
  out["frames"] = scan.stamps.size();
  setGeometry(out, scan);
  out["problem"] = why.empty() ? Json(nullptr) : Json(utf8Text(why));
  Json list = Json::array();
  for (const toolkit::StampFault& w : warnings)
    list.push_back({{"frame", w.frame},
                    {"stamp_ms", w.stamp},
                    {"previous_stamp_ms", w.previous},
                    {"interval_ms", w.step},
                    {"kind", w.step == 0 ? "repeat" : "backwards"}});
  out["stamp_warnings"] = list;
  return out;
}

}  // namespace

int runCheck(const CheckOptions& options) {
  int status = kExitOk;
  for (const std::string& file : options.files) {
    const StreamScan scan = scanStream(file);
    const std::vector<toolkit::StampFault> warnings = scan.stampWarnings();
    const std::string why = failure(scan, warnings, options.strict);
    if (!why.empty()) status = kExitFailure;
    if (options.quiet) continue;
    if (options.json) {
      printJsonLine(jsonOf(file, scan, warnings, why));
      continue;
    }
    for (const toolkit::StampFault& w : warnings)
      std::printf("%s: warning: %s\n", file.c_str(), toolkit::describe(w).c_str());
    if (why.empty()) {
      std::printf("%s: ok, %s of %s\n", file.c_str(), framesText(scan.stamps.size()).c_str(),
                  describe(scan.geometry).c_str());
    } else {
      std::printf("%s: FAILED, %s\n", file.c_str(), why.c_str());
    }
    std::fflush(stdout);
  }
  return status;
}

}  // namespace rgbtool
