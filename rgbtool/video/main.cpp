// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool-video: the encoder behind `rgbtool video`, which has parsed and
// checked the command line and hands over FILE, OUT, CRF, whether CRF was
// given (1 or 0), CODEC (may be empty) and whether OUT may be replaced (1
// or 0).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include "rgbtool/report/diagnostics.h"
#include "rgbtool/video/encoder.h"
#include "toolkit/signals.h"
#include "toolkit/standard_streams.h"

namespace {

constexpr int kArguments = 9;

int encode(char** argv) {
  using namespace rgbtool;
  VideoOptions options;
  options.file = argv[1];
  options.out = argv[2];
  options.crf = std::atoi(argv[3]);
  options.crfGiven = argv[4][0] == '1';
  options.codec = argv[5];
  options.overwrite = argv[6][0] == '1';
  options.frames = std::strtoll(argv[7], nullptr, 10);
  options.durationMs = std::strtoll(argv[8], nullptr, 10);
  const int status = runVideo(options);
  std::string error;
  if (!toolkit::finishStdout(error)) {
    report(error);
    return kExitFailure;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace rgbtool;
  toolkit::setProgramName("rgbtool");
  if (!toolkit::guardStandardStreams()) return kExitFailure;
  if (argc != kArguments) {
    std::fprintf(stderr, "rgbtool-video is run by 'rgbtool video'; see 'rgbtool video --help'.\n");
    return kExitUsage;
  }
  toolkit::signals::install();
  try {
    return encode(argv);
  } catch (const std::bad_alloc&) {
    report("out of memory");
  } catch (const std::exception& e) {
    report(e.what());
  }
  return kExitFailure;
}
