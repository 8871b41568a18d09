// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/hardening/soak.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rgb/rgb.h"
#include "tests/support/test_support.h"

namespace soak {
namespace {

constexpr int kStampStep = 40;
constexpr int kClockCycle = 10000 * 1000;
constexpr std::size_t kMaxProblems = 5;
constexpr int kMaxBatch = 3;
constexpr useconds_t kRecountPauseMicros = 500;
constexpr useconds_t kAppendPauseMicros = 1000;

using Clock = std::chrono::steady_clock;

std::size_t frameImageBytes(int width, int height) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void note(std::vector<std::string>* problems, const std::string& what) {
  if (problems->size() < kMaxProblems) problems->push_back(what);
}

// Sends this process's stdout to a scratch file until finish(): the readers
// report a partly written file and the end of a pipe on stdout, which the
// soak expects and checks instead of printing.
class StdoutCapture {
 public:
  StdoutCapture() : saved_(dup(STDOUT_FILENO)) {
    char name[] = "/tmp/rgb-soak-XXXXXX";
    file_ = mkstemp(name);
    unlink(name);
    std::fflush(stdout);
    dup2(file_, STDOUT_FILENO);
  }
  ~StdoutCapture() { finish(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;
  std::string finish() {
    std::string text;
    if (saved_ < 0) return text;
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    saved_ = -1;
    char block[4096];
    for (ssize_t n; (n = pread(file_, block, sizeof block, static_cast<off_t>(text.size()))) > 0;)
      text.append(block, static_cast<std::size_t>(n));
    close(file_);
    return text;
  }

 private:
  int saved_;
  int file_ = -1;
};

// Runs body in a child process that exits with its result; -1, with a
// note, when there is no child.
template <class Body>
pid_t startProducer(Body body, std::vector<std::string>* problems) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid < 0) note(problems, "fork failed");
  if (pid == 0) _exit(body());
  return pid;
}

bool exitedCleanly(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Producer side of the pipe soak, in the child process.
int producePipe(const std::string& fifo, int frames, int width, int height) {
  FILE* stream = openRGBWritePipe(fifo.c_str());
  if (!stream) return 1;
  std::vector<unsigned char> image(frameImageBytes(width, height));
  for (int n = 0; n < frames; ++n) {
    fillFrame(image.data(), width, height, n);
    const int stamp = stampOf(n);
    if (writeRGBTimePipe(stream, image.data(), width, height, &stamp) != 1) return 2;
  }
  return std::fclose(stream) == 0 ? 0 : 3;
}

int batchOf(int append) { return 1 + append % kMaxBatch; }

// Producer side of the file soak, in the child process.
int produceFile(const std::string& path, int appends, int width, int height) {
  const std::size_t frameBytes = frameImageBytes(width, height);
  std::vector<unsigned char> images(frameBytes * kMaxBatch);
  std::vector<int> stamps(kMaxBatch);
  int next = 0;
  for (int a = 0; a < appends; ++a) {
    const int batch = batchOf(a);
    for (int b = 0; b < batch; ++b) {
      fillFrame(images.data() + static_cast<std::size_t>(b) * frameBytes, width, height, next + b);
      stamps[static_cast<std::size_t>(b)] = stampOf(next + b);
    }
    if (writeRGBTimeFile(path.c_str(), images.data(), width, height, batch, stamps.data()) != batch)
      return 2;
    next += batch;
    // Frames come at a camera's pace, so the reader sees the file grow.
    usleep(kAppendPauseMicros);
  }
  return 0;
}

// Number of leading frames of a read that are the expected ones.
int intactPrefix(const unsigned char* images, const int* times, int frames, int width,
                 int height, std::vector<std::string>* problems) {
  const std::size_t frameBytes = frameImageBytes(width, height);
  std::vector<unsigned char> expected(frameBytes);
  for (int n = 0; n < frames; ++n) {
    fillFrame(expected.data(), width, height, n);
    if (std::memcmp(images + static_cast<std::size_t>(n) * frameBytes, expected.data(),
                    frameBytes) != 0 ||
        times[n] != stampOf(n)) {
      note(problems, "frame " + std::to_string(n) + " of the file differs");
      return n;
    }
  }
  return frames;
}

}  // namespace

void fillFrame(unsigned char* image, int width, int height, int n) {
  const std::size_t bytes = frameImageBytes(width, height);
  const auto frame = static_cast<unsigned>(n);
  for (std::size_t i = 0; i < bytes; ++i)
    image[i] = static_cast<unsigned char>(i * 131 + i / 1024 * 7 + frame * 17);
  // The frame number itself in the first pixels, for frames 256 apart.
  for (std::size_t i = 0; i < 4 && i < bytes; ++i)
    image[i] = static_cast<unsigned char>(frame >> (8 * i));
}

int stampOf(int n) {
  return static_cast<int>(static_cast<long long>(n) * kStampStep % kClockCycle);
}

PipeResult pipeSoak(const std::string& folder, int frames, int width, int height) {
  PipeResult result;
  const std::string fifo = folder + "/soak.fifo";
  if (mkfifo(fifo.c_str(), 0600) != 0) {
    note(&result.problems, "cannot create " + fifo);
    return result;
  }
  const pid_t producer =
      startProducer([&] { return producePipe(fifo, frames, width, height); }, &result.problems);
  if (producer < 0) return result;

  const auto start = Clock::now();
  std::vector<unsigned char> expected(frameImageBytes(width, height));
  rgbtest::ReadBuffers r;
  StdoutCapture output;
  FILE* stream = openRGBReadPipe(fifo.c_str());
  if (stream) {
    while (r.readPipe(stream) == 1) {
      const int n = result.received++;
      fillFrame(expected.data(), width, height, n);
      const bool same = r.width == width && r.height == height && r.times[0] == stampOf(n) &&
                        std::memcmp(r.images, expected.data(), expected.size()) == 0;
      if (same) {
        ++result.intact;
      } else {
        note(&result.problems, "frame " + std::to_string(n) + " arrived damaged or out of order");
      }
    }
    std::fclose(stream);
  }
  const std::string end = output.finish();
  result.seconds = secondsSince(start);
  result.endedCleanly =
      end == "error reading 0 RGB header bytes.\nerror reading header of frame no 0.\n";
  if (!result.endedCleanly) note(&result.problems, "pipe ended with: " + end);
  result.producerOk = exitedCleanly(producer);
  result.sent = result.producerOk ? frames : 0;
  return result;
}

FileResult fileSoak(const std::string& folder, int appends, int width, int height) {
  FileResult result;
  const std::string path = folder + "/growing.rgb";
  std::remove(path.c_str());
  int total = 0;
  for (int a = 0; a < appends; ++a) total += batchOf(a);

  const pid_t producer =
      startProducer([&] { return produceFile(path, appends, width, height); }, &result.problems);
  if (producer < 0) return result;

  const auto start = Clock::now();
  int lastCount = 0;
  int status = 0;
  {
    StdoutCapture quiet;  // "warning: N bytes found after last frame." mid-append
    while (waitpid(producer, &status, WNOHANG) == 0) {
      // Leaves the producer room on a small machine.
      usleep(kRecountPauseMicros);
      FILE* stream = std::fopen(path.c_str(), "rb");
      if (!stream) continue;  // not created yet
      const int count = getRGBNoOfFrames(stream);
      std::fclose(stream);
      ++result.recounts;
      if (count < lastCount || count > total) {
        result.countsMonotonic = false;
        note(&result.problems, "count went from " + std::to_string(lastCount) + " to " +
                                   std::to_string(count));
      }
      lastCount = count > lastCount ? count : lastCount;
      if (result.recounts % 2 == 0) {
        rgbtest::ReadBuffers partial;
        const int read = partial.readFile(path);
        if (read > 0) {
          ++result.partialReads;
          if (intactPrefix(partial.images, partial.times, read, width, height, &result.problems) !=
              read)
            result.readsConsistent = false;
        }
      }
    }
  }
  result.producerOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  result.appended = result.producerOk ? total : 0;

  rgbtest::ReadBuffers whole;
  result.finalCount = whole.readFile(path);
  if (result.finalCount > 0)
    result.intact =
        intactPrefix(whole.images, whole.times, result.finalCount, width, height, &result.problems);
  result.seconds = secondsSince(start);
  return result;
}

}  // namespace soak
