// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Loading and writing a 100-frame 1920 x 1080 stream with the library,
// side by side with the plain way to do the same I/O, alternating the sides
// so that both see the same machine. Prints medians and ratios:
//
//   cold load   readRGBFile in a process of its own / malloc + fread there
//   warm load   readRGBTimeStream into buffers touched before, file cached /
//               fread into a touched buffer (no page provisioning either side)
//   write       writeRGBTimeFile / one fwrite of the same bytes, in-process
//   pipe        frames per second from a producer process through a FIFO
//               into readRGBTimePipe
//
// Image buffers are measured with and without transparent huge pages
// (--huge on|off|both): which wins depends on the kernel.
//
//   bench_stream [--frames N] [--rounds R] [--dir DIR] [--huge on|off|both]
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rgb/buffers.h"
#include "rgb/rgb.h"

extern char** environ;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Free {
  void operator()(void* p) const { std::free(p); }
};

std::size_t imageBytes(int frames) {
  return static_cast<std::size_t>(frames) * kWidth * kHeight * 3;
}

std::unique_ptr<unsigned char, Free> testImage(int frames) {
  std::unique_ptr<unsigned char, Free> image(static_cast<unsigned char*>(std::malloc(imageBytes(frames))));
  if (!image) return image;
  for (std::size_t i = 0; i < imageBytes(frames); ++i)
    image.get()[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
  return image;
}

std::vector<int> stamps(int frames) {
  std::vector<int> times(static_cast<std::size_t>(frames));
  for (int n = 0; n < frames; ++n) times[static_cast<std::size_t>(n)] = 40 * n;
  return times;
}

// ---- the sides, each run in a process of its own ----

// A checksum over a sample of the bytes keeps the loads from being elided.
unsigned sample(const unsigned char* p, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; i += 4093) sum += p[i];
  return sum;
}

int loadWithLibrary(const char* path, bool huge) {
  rgb::useHugePages(huge);
  unsigned char* images = nullptr;
  int width = 0;
  int height = 0;
  const int frames = readRGBFile(path, &images, &width, &height);
  const unsigned sum = frames > 0 ? sample(images, imageBytes(frames)) : 0;
  std::free(images);
  std::printf("%u\n", sum);
  return frames > 0 ? 0 : 1;
}

int loadPlain(const char* path) {
  struct stat st {};
  if (stat(path, &st) != 0) return 1;
  const auto size = static_cast<std::size_t>(st.st_size);
  FILE* f = std::fopen(path, "rb");
  auto* data = static_cast<unsigned char*>(std::malloc(size));
  const bool ok = f && data && std::fread(data, 1, size, f) == size;
  if (f) std::fclose(f);
  std::printf("%u\n", ok ? sample(data, size) : 0);
  std::free(data);
  return ok ? 0 : 1;
}

// ---- in-process sides: each reports the time of its I/O alone ----

// Warm: the caller's buffers exist and were written before, the file is in
// the page cache; what is left is the copy and, for the library, the
// conversion.
int warmLoadWithLibrary(const char* path, int frames) {
  std::unique_ptr<unsigned char, Free> image(static_cast<unsigned char*>(std::malloc(imageBytes(frames))));
  std::vector<int> times(static_cast<std::size_t>(frames));
  if (!image) return 1;
  std::memset(image.get(), 1, imageBytes(frames));
  unsigned char* images = image.get();
  int* stamps = times.data();
  int width = 0;
  int height = 0;
  FILE* f = std::fopen(path, "rb");
  if (!f) return 1;
  const auto start = Clock::now();
  const int read = readRGBTimeStream(f, &images, &width, &height, frames, &stamps);
  const double seconds = secondsSince(start);
  std::fclose(f);
  std::printf("%.6f %u\n", seconds, sample(images, imageBytes(frames)));
  return read == frames ? 0 : 1;
}

int warmLoadPlain(const char* path) {
  struct stat st {};
  if (stat(path, &st) != 0) return 1;
  const auto size = static_cast<std::size_t>(st.st_size);
  std::unique_ptr<unsigned char, Free> data(static_cast<unsigned char*>(std::malloc(size)));
  if (!data) return 1;
  std::memset(data.get(), 1, size);
  FILE* f = std::fopen(path, "rb");
  if (!f) return 1;
  const auto start = Clock::now();
  const bool ok = std::fread(data.get(), 1, size, f) == size;
  const double seconds = secondsSince(start);
  std::fclose(f);
  std::printf("%.6f %u\n", seconds, sample(data.get(), size));
  return ok ? 0 : 1;
}

int writeWithLibrary(const char* path, int frames) {
  auto image = testImage(frames);
  const std::vector<int> times = stamps(frames);
  const auto start = Clock::now();
  const int written = writeRGBTimeFile(path, image.get(), kWidth, kHeight, frames, times.data());
  std::printf("%.6f\n", secondsSince(start));
  return written == frames ? 0 : 1;
}

int writePlain(const char* path, int frames) {
  const std::size_t bytes = imageBytes(frames) + 512u * static_cast<std::size_t>(frames);
  std::unique_ptr<unsigned char, Free> data(static_cast<unsigned char*>(std::malloc(bytes)));
  if (!data) return 1;
  for (std::size_t i = 0; i < bytes; ++i) data.get()[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
  const auto start = Clock::now();
  FILE* f = std::fopen(path, "ab");
  const bool ok = f && std::fwrite(data.get(), 1, bytes, f) == bytes;
  const bool closed = f && std::fclose(f) == 0;
  std::printf("%.6f\n", secondsSince(start));
  return ok && closed ? 0 : 1;
}

// A producer process writes `frames` frames into a FIFO with
// writeRGBTimePipe while this process reads them with readRGBTimePipe,
// passing its buffers back; prints frames per second and frames lost.
int pipeRate(const std::string& fifo, int frames, int width, int height) {
  if (mkfifo(fifo.c_str(), 0600) != 0) return 1;
  const pid_t producer = fork();
  if (producer == 0) {
    FILE* out = openRGBWritePipe(fifo.c_str());
    std::vector<unsigned char> image(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 7);
    int sent = 0;
    for (int n = 0; out && n < frames; ++n) sent += writeRGBTimePipe(out, image.data(), width, height, &n);
    if (out) std::fclose(out);
    _exit(sent == frames ? 0 : 1);
  }
  FILE* in = openRGBReadPipe(fifo.c_str());
  unsigned char* images = nullptr;
  int* times = nullptr;
  int w = 0;
  int h = 0;
  int received = 0;
  const auto start = Clock::now();
  while (in && received < frames && readRGBTimePipe(in, &images, &w, &h, &times) == 1) {
    if (times[0] != received) break;
    ++received;
  }
  const double seconds = secondsSince(start);
  if (in) std::fclose(in);
  std::free(images);
  std::free(times);
  int status = 0;
  waitpid(producer, &status, 0);
  std::remove(fifo.c_str());
  std::printf("%.6f %d\n", seconds, frames - received);
  return received == frames && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

// ---- the driver ----

struct Run {
  double wall;      // whole process
  double reported;  // what the child printed first, if a time
  double second;    // what it printed second
};

Run runChild(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0) std::exit(2);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = 0;
  const auto start = Clock::now();
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::exit(2);
  close(fds[1]);
  std::string out;
  char block[256];
  for (ssize_t n; (n = read(fds[0], block, sizeof block)) > 0;) out.append(block, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const double wall = secondsSince(start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench_stream: %s %s failed\n", args[1].c_str(), args[2].c_str());
    std::exit(1);
  }
  char* rest = nullptr;
  const double first = std::strtod(out.c_str(), &rest);
  return {wall, first, std::strtod(rest, nullptr)};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

const char* verdict(double ratio, double must) { return ratio <= must ? "ok" : "MISSED"; }

struct Options {
  int frames = 100;
  int rounds = 5;
  std::string dir;
  std::vector<bool> huge{false, true};
};

int drive(const std::string& self, const Options& o) {
  const std::string stream = o.dir + "/bench.rgb";
  const std::string out = o.dir + "/out.rgb";
  std::remove(stream.c_str());
  {
    auto image = testImage(o.frames);
    const std::vector<int> times = stamps(o.frames);
    if (!image || writeRGBTimeFile(stream.c_str(), image.get(), kWidth, kHeight, o.frames,
                                   times.data()) != o.frames)
      return 1;
  }
  std::printf("stream: %d frames of %dx%d, %.1f MB in %s\n", o.frames, kWidth, kHeight,
              static_cast<double>(imageBytes(o.frames) + 512u * static_cast<unsigned>(o.frames)) / 1e6,
              o.dir.c_str());
  const std::string frameCount = std::to_string(o.frames);
  std::vector<double> cat, plainLoad, warmLib, warmPlain, libWrite, plainWrite, pipeSeconds;
  std::vector<std::vector<double>> libLoad(o.huge.size());
  double lost = 0;
  constexpr int kPipeFrames = 10000;
  for (int r = 0; r < o.rounds; ++r) {
    cat.push_back(runChild({"/bin/sh", "-c", "cat '" + stream + "' > /dev/null"}).wall);
    for (std::size_t h = 0; h < o.huge.size(); ++h)
      libLoad[h].push_back(runChild({self, "load-rgb", stream, o.huge[h] ? "on" : "off"}).wall);
    plainLoad.push_back(runChild({self, "load-plain", stream}).wall);
    warmLib.push_back(runChild({self, "warm-rgb", stream, frameCount}).reported);
    warmPlain.push_back(runChild({self, "warm-plain", stream}).reported);
    // Each write starts with nothing dirty in the page cache, so that the
    // disk's writeback of an earlier round does not land in its time.
    std::remove(out.c_str());
    sync();
    libWrite.push_back(runChild({self, "write-rgb", out, frameCount}).reported);
    std::remove(out.c_str());
    sync();
    plainWrite.push_back(runChild({self, "write-plain", out, frameCount}).reported);
    std::remove(out.c_str());
    const Run piped = runChild({self, "pipe", o.dir + "/bench.fifo", std::to_string(kPipeFrames)});
    pipeSeconds.push_back(piped.reported);
    lost += piped.second;
  }
  std::remove(stream.c_str());
  std::printf("medians of %d alternating rounds (seconds):\n", o.rounds);
  std::printf("  cat FILE > /dev/null                 %8.3f\n", median(cat));
  std::printf("  malloc + fread, whole process        %8.3f\n", median(plainLoad));
  for (std::size_t h = 0; h < o.huge.size(); ++h)
    std::printf("  readRGBFile, whole process, huge %-3s %8.3f\n", o.huge[h] ? "on" : "off",
                median(libLoad[h]));
  std::printf("  fread into a touched buffer          %8.3f\n", median(warmPlain));
  std::printf("  readRGBTimeStream, touched buffers   %8.3f\n", median(warmLib));
  std::printf("  one fwrite of the same bytes         %8.3f\n", median(plainWrite));
  std::printf("  writeRGBTimeFile                     %8.3f\n", median(libWrite));
  std::printf("ratios (must / aim):\n");
  for (std::size_t h = 0; h < o.huge.size(); ++h) {
    const double ratio = median(libLoad[h]) / median(plainLoad);
    // Huge pages are off in the library; the "on" figure is what the
    // choice is weighed against.
    if (o.huge[h])
      std::printf("  cold load, huge pages on  / malloc + fread: %5.2f  (not the default)\n", ratio);
    else
      std::printf("  cold load / malloc + fread:                 %5.2f  (<= 1.0 / 0.5) %s\n", ratio,
                  verdict(ratio, 1.0));
  }
  const double warm = median(warmLib) / median(warmPlain);
  std::printf("  warm load / fread into a touched buffer:    %5.2f  (<= 1.3 / 1.1) %s\n", warm,
              verdict(warm, 1.3));
  const double write = median(libWrite) / median(plainWrite);
  std::printf("  write / one fwrite:                         %5.2f  (<= 1.3 / 1.1) %s\n", write,
              verdict(write, 1.3));
  std::printf("pipe: %d frames of 320x240 through a FIFO: %.0f frames/s, %.0f lost\n", kPipeFrames,
              kPipeFrames / median(pipeSeconds), lost);
  return 0;
}

std::string selfPath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "load-rgb" && argc == 4) return loadWithLibrary(argv[2], std::string(argv[3]) == "on");
  if (mode == "load-plain" && argc == 3) return loadPlain(argv[2]);
  if (mode == "warm-rgb" && argc == 4) return warmLoadWithLibrary(argv[2], std::atoi(argv[3]));
  if (mode == "warm-plain" && argc == 3) return warmLoadPlain(argv[2]);
  if (mode == "write-rgb" && argc == 4) return writeWithLibrary(argv[2], std::atoi(argv[3]));
  if (mode == "write-plain" && argc == 4) return writePlain(argv[2], std::atoi(argv[3]));
  if (mode == "pipe" && argc == 4) return pipeRate(argv[2], std::atoi(argv[3]), 320, 240);

  Options o;
  bool usage = false;
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (option == "--frames") o.frames = std::atoi(value.c_str());
    else if (option == "--rounds") o.rounds = std::atoi(value.c_str());
    else if (option == "--dir") o.dir = value;
    else if (option == "--huge" && value == "on") o.huge = {true};
    else if (option == "--huge" && value == "off") o.huge = {false};
    else if (option == "--huge" && value == "both") o.huge = {false, true};
    else usage = true;
  }
  if (usage || o.frames <= 0 || o.rounds <= 0) {
    std::fprintf(stderr, "usage: %s [--frames N] [--rounds R] [--dir DIR] [--huge on|off|both]\n",
                 argv[0]);
    return 2;
  }
  char pattern[] = "/tmp/bench-stream-XXXXXX";
  const bool ownDir = o.dir.empty();
  if (ownDir) {
    if (!mkdtemp(pattern)) return 1;
    o.dir = pattern;
  }
  const int status = drive(selfPath(), o);
  if (ownDir) rmdir(o.dir.c_str());
  return status;
}
