// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The long soak (run by scripts/soak): a producer process sends frames
// through a named pipe to this process, then another appends to a file that
// this process keeps counting. Prints frames per second and lost frames;
// exits 1 when any frame was lost or damaged.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/hardening/soak.h"
#include "tests/support/test_support.h"

namespace {

int argument(int argc, char** argv, int index, int fallback) {
  return argc > index ? std::atoi(argv[index]) : fallback;
}

void printProblems(const std::vector<std::string>& problems) {
  for (const auto& p : problems) std::fprintf(stderr, "  %s\n", p.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argument(argc, argv, 1, 10000);
  const int width = argument(argc, argv, 2, 320);
  const int height = argument(argc, argv, 3, 240);
  const int appends = argument(argc, argv, 4, 1000);
  if (frames <= 0 || width <= 0 || height <= 0 || appends <= 0) {
    std::fprintf(stderr, "usage: %s [FRAMES [WIDTH HEIGHT [APPENDS]]]\n", argv[0]);
    return 2;
  }
  rgbtest::TempDir dir;

  const soak::PipeResult pipe = soak::pipeSoak(dir.path(), frames, width, height);
  const double mib = static_cast<double>(pipe.received) * width * height * 3 / (1 << 20);
  std::printf("pipe: %d frames %dx%d sent, %d received, %d intact, %d lost, %.2f s, "
              "%.0f frames/s (%.0f MiB/s)%s\n",
              pipe.sent, width, height, pipe.received, pipe.intact, pipe.lost(), pipe.seconds,
              pipe.received / pipe.seconds, mib / pipe.seconds,
              pipe.endedCleanly ? "" : ", did not end cleanly");
  printProblems(pipe.problems);

  const soak::FileResult file = soak::fileSoak(dir.path(), appends, width / 2, height / 2);
  std::printf("file: %d frames %dx%d appended in %d appends, %d counted at the end, %d intact, "
              "%d lost, %d recounts and %d reads while growing%s, %.2f s\n",
              file.appended, width / 2, height / 2, appends, file.finalCount, file.intact,
              file.appended - file.intact, file.recounts, file.partialReads,
              file.countsMonotonic && file.readsConsistent ? ", all consistent"
                                                           : ", INCONSISTENT",
              file.seconds);
  printProblems(file.problems);

  const bool ok = pipe.producerOk && pipe.lost() == 0 && pipe.endedCleanly && file.producerOk &&
                  file.intact == file.appended && file.finalCount == file.appended &&
                  file.countsMonotonic && file.readsConsistent;
  return ok ? 0 : 1;
}
