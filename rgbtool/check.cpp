// rgbtool check: is every file a clean stream?
#include <cstdio>

#include "rgbtool/commands.h"
#include "rgbtool/diagnostics.h"
#include "rgbtool/stream_scan.h"

namespace rgbtool {
namespace {

std::string verdict(const StreamScan& scan) {
  if (scan.clean()) {
    const std::size_t n = scan.stamps.size();
    return "ok, " + std::to_string(n) + " frame" + (n == 1 ? "" : "s") + " of " +
           describe(scan.geometry);
  }
  std::string why = scan.damage;
  if (why.empty() && scan.stamps.empty() && scan.strayBytes == 0) why = "no whole frame";
  if (scan.strayBytes > 0) {
    if (!why.empty()) why += "; ";
    why += std::to_string(scan.strayBytes) +
           (scan.stamps.empty() ? " bytes, less than one whole frame"
                                : " stray bytes after the last frame");
  }
  return "FAILED, " + why;
}

}  // namespace

int runCheck(const CheckOptions& options) {
  int status = kExitOk;
  for (const std::string& file : options.files) {
    const StreamScan scan = scanStream(file);
    if (!scan.clean()) status = kExitFailure;
    if (!options.quiet) std::printf("%s: %s\n", file.c_str(), verdict(scan).c_str());
  }
  return status;
}

}  // namespace rgbtool
