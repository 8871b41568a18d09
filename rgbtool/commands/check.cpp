// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool check: is every file a clean stream?
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "rgbtool/commands/registry.h"
#include "rgbtool/input/stream_scan.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/report/json.h"

namespace rgbtool {
namespace {

struct Options {
  std::vector<std::string> files;
  bool quiet = false;
  bool strict = false;  // stamps going backwards or repeating fail the file
  bool json = false;
};

constexpr const char* kFooter = R"(--json prints one object per line and FILE, flushed.

JSON keys:
  file, file_hex, ok, frames, width, height, planes, stray_bytes, problem
                      as in 'rgbtool info --json'; ok and problem also count the
                      stamps under --strict
  frames_after_damage, repair_keeps
                      as in 'rgbtool info --json': after a fault in a file, the whole
                      frames that follow it and all that 'rgbtool repair' would keep
  stamp_warnings      one object per frame whose stamp goes back or repeats:
                      "frame", "stamp_ms", "previous_stamp_ms", "interval_ms" (the step,
                      0 or negative) and "kind" ("repeat" or "backwards")

Examples:
  $ rgbtool check recording.rgb
  $ rgbtool check -q recording.rgb && echo clean
  $ rgbtool check --strict --json *.rgb

Exit status:
  0   every FILE is a clean stream
  1   a FILE cannot be read or is not a clean stream (with --strict, also when
      its stamps go backwards or repeat)
  2   a usage error)";

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
  Json out = streamJson(file, scan, why);
  Json list = Json::array();
  for (const toolkit::StampFault& w : warnings)
    list.push_back({{"frame", w.frame},
                    {"stamp_ms", w.stamp},
                    {"previous_stamp_ms", w.previous},
                    {"interval_ms", w.step},
                    {"kind", w.step == 0 ? "repeat" : "backwards"}});
  out["stamp_warnings"] = list;
  out["frames_after_damage"] = scan.wholeAfterDamage >= 0 ? Json(scan.wholeAfterDamage) : Json(nullptr);
  out["repair_keeps"] = scan.repairKeeps >= 0 ? Json(scan.repairKeeps) : Json(nullptr);
  return out;
}

int run(const Options& options) {
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

cli::Run declare(CLI::App& command) {
  auto options = std::make_shared<Options>();
  command.add_flag("-q,--quiet", options->quiet, "Print nothing; the exit status tells");
  command.add_flag(
      "--strict", options->strict,
      "Stamps that go backwards or repeat fail the file (else they are warnings). Stamps wrap "
      "every 10,000 s; a step of more than half that counts as going backwards");
  command.add_flag("--json", options->json,
                   "One JSON object per line for each file, for scripts (keys below)");
  command.add_option("FILE", options->files, "Frame streams (- reads standard input)")
      ->required();
  command.footer(kFooter);
  return [options] { return run(*options); };
}

}  // namespace

namespace commands {

cli::Command checkCommand() {
  return {"check", "Validate every frame; succeeds only if every file is a clean stream",
          declare};
}

}  // namespace commands
}  // namespace rgbtool
