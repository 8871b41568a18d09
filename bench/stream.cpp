// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Loading and writing a 100-frame 1920 x 1080 stream with the library, side
// by side with the plain way to do the same I/O. Every ratio compares two
// sides that start from the same state:
//
//   cold load   readRGBFile / malloc + fread, each side in a fresh process
//               of its own, whole-process times
//   warm load   readRGBTimeStream / one fread, both in one process, into
//               buffers allocated and written once before the first round
//               and reused, the file in the page cache
//   write       writeRGBTimeFile / fopen + one fwrite + fclose of the same
//               bytes, both in one process from sources written before,
//               each side after `sync` into a file that does not exist yet
//   pipe        frames per second from a producer process through a FIFO
//               into readRGBTimePipe
//
// The order of the sides alternates from round to round; the figures are
// medians, printed with both absolute times beside each ratio. Cold loads
// are measured with and without transparent huge pages (--huge on|off|both):
// which wins depends on the kernel.
//
//   bench_stream [--frames N] [--rounds R] [--dir DIR] [--huge on|off|both]
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rgb/buffers.h"
#include "rgb/rgb.h"

extern char** environ;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// Fewer rounds give a median that one slow round can still move.
constexpr int kMinRounds = 7;
constexpr int kDefaultRounds = 9;
constexpr int kPipeFrames = 10000;
constexpr int kPipeWidth = 320;
constexpr int kPipeHeight = 240;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double timed(const std::function<bool()>& work, bool* ok) {
  const auto start = Clock::now();
  *ok = work() && *ok;
  return secondsSince(start);
}

struct Free {
  void operator()(void* p) const { std::free(p); }
};
using Bytes = std::unique_ptr<unsigned char, Free>;

std::size_t imageBytes(int frames) {
  return static_cast<std::size_t>(frames) * kWidth * kHeight * 3;
}

std::size_t streamBytes(int frames) {
  return imageBytes(frames) + 512u * static_cast<std::size_t>(frames);
}

// Memory written once with a pattern, so that its pages exist before any
// timed side touches it.
Bytes patterned(std::size_t bytes) {
  Bytes data(static_cast<unsigned char*>(std::malloc(bytes)));
  if (data)
    for (std::size_t i = 0; i < bytes; ++i) data.get()[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
  return data;
}

std::vector<int> stamps(int frames) {
  std::vector<int> times(static_cast<std::size_t>(frames));
  for (int n = 0; n < frames; ++n) times[static_cast<std::size_t>(n)] = 40 * n;
  return times;
}

// A checksum over a sample of the bytes keeps the loads from being elided.
unsigned sample(const unsigned char* p, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; i += 4093) sum += p[i];
  return sum;
}

// ---- cold load: each side is a process of its own ----

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

// ---- warm load and write: both sides in one process ----

// Runs `rounds` rounds of two sides, the library's first in even rounds and
// the plain one first in odd rounds, printing "library plain" seconds per
// round. `before` runs ahead of every side, untimed.
int alternate(int rounds, const std::function<bool()>& before, const std::function<bool()>& library,
              const std::function<bool()>& plain) {
  bool ok = true;
  for (int r = 0; r < rounds && ok; ++r) {
    double times[2] = {0, 0};
    for (int turn = 0; turn < 2; ++turn) {
      const int side = (r + turn) % 2;
      ok = before() && ok;
      times[side] = timed(side == 0 ? library : plain, &ok);
    }
    std::printf("%.6f %.6f\n", times[0], times[1]);
  }
  return ok ? 0 : 1;
}

bool readWhole(const char* path, unsigned char* into, std::size_t bytes) {
  FILE* f = std::fopen(path, "rb");
  const bool ok = f && std::fread(into, 1, bytes, f) == bytes;
  return (!f || std::fclose(f) == 0) && ok;
}

// The file is in the page cache (read once before), the buffers of both
// sides exist and were written before the first round; what is left is the
// copy and, for the library, the conversion.
int warmLoads(const char* path, int frames, int rounds) {
  Bytes image = patterned(imageBytes(frames));
  Bytes plain = patterned(streamBytes(frames));
  std::vector<int> times(static_cast<std::size_t>(frames));
  if (!image || !plain || !readWhole(path, plain.get(), streamBytes(frames))) return 1;
  const auto library = [&] {
    unsigned char* images = image.get();
    int* stamps = times.data();
    int width = 0;
    int height = 0;
    FILE* f = std::fopen(path, "rb");
    const bool ok = f && readRGBTimeStream(f, &images, &width, &height, frames, &stamps) == frames;
    return (!f || std::fclose(f) == 0) && ok;
  };
  const auto fread = [&] { return readWhole(path, plain.get(), streamBytes(frames)); };
  return alternate(rounds, [] { return true; }, library, fread);
}

// Each side writes a file that does not exist yet, after `sync`, so that
// neither pays for the writeback or the release of the other's pages.
int writes(const char* path, int frames, int rounds) {
  Bytes image = patterned(imageBytes(frames));
  Bytes plain = patterned(streamBytes(frames));
  const std::vector<int> times = stamps(frames);
  if (!image || !plain) return 1;
  const auto clean = [&] {
    std::remove(path);
    sync();
    return true;
  };
  const auto library = [&] {
    return writeRGBTimeFile(path, image.get(), kWidth, kHeight, frames, times.data()) == frames;
  };
  const auto fwrite = [&] {
    FILE* f = std::fopen(path, "ab");
    const bool ok = f && std::fwrite(plain.get(), 1, streamBytes(frames), f) == streamBytes(frames);
    return f && std::fclose(f) == 0 && ok;
  };
  const int status = alternate(rounds, clean, library, fwrite);
  std::remove(path);
  return status;
}

// A producer process writes `frames` frames into a FIFO with
// writeRGBTimePipe while this process reads them with readRGBTimePipe,
// passing its buffers back; prints the seconds and the frames lost.
int pipeRate(const std::string& fifo, int frames) {
  if (mkfifo(fifo.c_str(), 0600) != 0) return 1;
  const pid_t producer = fork();
  if (producer == 0) {
    FILE* out = openRGBWritePipe(fifo.c_str());
    std::vector<unsigned char> image(static_cast<std::size_t>(kPipeWidth) * kPipeHeight * 3, 7);
    int sent = 0;
    for (int n = 0; out && n < frames; ++n) sent += writeRGBTimePipe(out, image.data(), kPipeWidth, kPipeHeight, &n);
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

struct Child {
  double wall;              // the whole process
  std::vector<double> out;  // the numbers it printed
};

Child runChild(const std::vector<std::string>& args) {
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
  Child child{wall, {}};
  const char* p = out.c_str();
  for (char* end = nullptr;; p = end) {
    const double value = std::strtod(p, &end);
    if (end == p) break;
    child.out.push_back(value);
  }
  return child;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Medians of the two sides of a run of rounds.
struct Pair {
  std::vector<double> library, plain;
};

Pair pairsOf(const Child& child) {
  Pair pair;
  for (std::size_t i = 0; i + 1 < child.out.size(); i += 2) {
    pair.library.push_back(child.out[i]);
    pair.plain.push_back(child.out[i + 1]);
  }
  return pair;
}

void printRatio(const char* figure, const Pair& pair, const char* target, double must) {
  const double library = median(pair.library);
  const double plain = median(pair.plain);
  const double ratio = library / plain;
  std::printf("  %-44s %8.3f %8.3f %6.2f  %-14s %s\n", figure, library, plain, ratio, target,
              must <= 0 ? "" : ratio <= must ? "ok" : "MISSED");
}

void printRounds(const char* figure, const Pair& pair) {
  std::printf("%s, library / plain by round:", figure);
  for (std::size_t r = 0; r < pair.library.size() && r < pair.plain.size(); ++r)
    std::printf(" %.3f/%.3f", pair.library[r], pair.plain[r]);
  std::printf("\n");
}

struct Options {
  int frames = 100;
  int rounds = kDefaultRounds;
  std::string dir;
  std::vector<bool> huge{false, true};
};

// Each side in a fresh process, the order alternating; whole-process times.
std::vector<Pair> coldLoads(const std::string& self, const std::string& stream, const Options& o) {
  std::vector<Pair> pairs(o.huge.size());
  for (int r = 0; r < o.rounds; ++r)
    for (std::size_t h = 0; h < o.huge.size(); ++h)
      for (int turn = 0; turn < 2; ++turn) {
        if ((r + turn) % 2 == 0)
          pairs[h].library.push_back(runChild({self, "load-rgb", stream, o.huge[h] ? "on" : "off"}).wall);
        else
          pairs[h].plain.push_back(runChild({self, "load-plain", stream}).wall);
      }
  return pairs;
}

void printKernel() {
  struct utsname name {};
  if (uname(&name) == 0) std::printf("kernel: %s %s %s\n", name.sysname, name.release, name.machine);
}

int drive(const std::string& self, const Options& o) {
  const std::string stream = o.dir + "/bench.rgb";
  const std::string out = o.dir + "/out.rgb";
  std::remove(stream.c_str());
  {
    Bytes image = patterned(imageBytes(o.frames));
    const std::vector<int> times = stamps(o.frames);
    if (!image || writeRGBTimeFile(stream.c_str(), image.get(), kWidth, kHeight, o.frames,
                                   times.data()) != o.frames)
      return 1;
  }
  printKernel();
  std::printf("stream: %d frames of %dx%d, %.1f MB in %s\n", o.frames, kWidth, kHeight,
              static_cast<double>(streamBytes(o.frames)) / 1e6, o.dir.c_str());
  const std::string frames = std::to_string(o.frames);
  const std::string rounds = std::to_string(o.rounds);
  // The file's pages are in the page cache for every load.
  runChild({"/bin/sh", "-c", "cat '" + stream + "' > /dev/null", "(cache)"});
  const std::vector<Pair> cold = coldLoads(self, stream, o);
  const Pair warm = pairsOf(runChild({self, "warm", stream, frames, rounds}));
  const Pair write = pairsOf(runChild({self, "write", out, frames, rounds}));
  std::vector<double> pipeSeconds;
  double lost = 0;
  for (int r = 0; r < o.rounds; ++r) {
    const Child piped = runChild({self, "pipe", o.dir + "/bench.fifo", std::to_string(kPipeFrames)});
    pipeSeconds.push_back(piped.out.at(0));
    lost += piped.out.at(1);
  }
  std::remove(stream.c_str());
  std::printf("medians of %d rounds, the order of the sides alternating (seconds):\n", o.rounds);
  std::printf("  %-44s %8s %8s %6s  %-14s\n", "", "library", "plain", "ratio", "must / aim");
  for (std::size_t h = 0; h < o.huge.size(); ++h) {
    // Huge pages are off in the library; the "on" figure is what the
    // choice is weighed against.
    if (o.huge[h])
      printRatio("cold load, huge pages on (not the default)", cold[h], "", 0);
    else
      printRatio("cold load: readRGBFile / malloc + fread", cold[h], "<= 1.0 / 0.5", 1.0);
  }
  printRatio("warm load: readRGBTimeStream / one fread", warm, "<= 1.1", 1.1);
  printRatio("write: writeRGBTimeFile / one fwrite", write, "<= 1.1", 1.1);
  std::printf("  (cold load: each side a fresh process, whole-process time; warm load and write:\n"
              "  both sides in one process, buffers written before the first round, sync before\n"
              "  every write)\n");
  std::printf("pipe: %d frames of %dx%d through a FIFO: %.0f frames/s, %.0f lost\n", kPipeFrames,
              kPipeWidth, kPipeHeight, kPipeFrames / median(pipeSeconds), lost);
  // The rounds themselves, so that a median that sits between two regimes
  // of the machine (memory it has to provide afresh, a neighbour's load)
  // shows as such.
  printRounds(o.huge[0] ? "cold load, huge pages on" : "cold load", cold[0]);
  printRounds("warm load", warm);
  printRounds("write", write);
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
  if (mode == "warm" && argc == 5) return warmLoads(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (mode == "write" && argc == 5) return writes(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (mode == "pipe" && argc == 4) return pipeRate(argv[2], std::atoi(argv[3]));

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
  if (usage || o.frames <= 0 || o.rounds < kMinRounds) {
    std::fprintf(stderr,
                 "usage: %s [--frames N] [--rounds R (%d or more)] [--dir DIR] [--huge on|off|both]\n",
                 argv[0], kMinRounds);
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
