// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool-video: the encoder behind `rgbtool video`, which has parsed and
// checked the command line and hands over FILE, OUT, CRF, whether CRF was
// given (1 or 0) and CODEC (may be empty).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "rgbtool/output/interrupt.h"
#include "rgbtool/report/diagnostics.h"
#include "rgbtool/video/encoder.h"

int main(int argc, char** argv) {
  using namespace rgbtool;
  if (argc != 6) {
    std::fprintf(stderr, "rgbtool-video is run by 'rgbtool video'; see 'rgbtool video --help'.\n");
    return kExitUsage;
  }
  VideoOptions options;
  options.file = argv[1];
  options.out = argv[2];
  options.crf = std::atoi(argv[3]);
  options.crfGiven = argv[4][0] == '1';
  options.codec = argv[5];
  interrupt::install();
  try {
    const int status = runVideo(options);
    return std::fflush(stdout) == 0 ? status : kExitFailure;
  } catch (const std::bad_alloc&) {
    report("out of memory");
  } catch (const std::exception& e) {
    report(e.what());
  }
  return kExitFailure;
}
