// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Whole-process timings of rgbtool next to the programs people would use
// otherwise, on the same cached files, in one run:
//   export of one 4096 x 4096 frame to PPM   vs netpbm sgitopnm, ImageMagick convert
//   info on a 100-frame 1920 x 1080 stream   vs cat
// Each round runs every contender once, in a rotating order; the report
// gives medians, their ratios and the peak resident memory of each process
// (from wait4). Exit status 0 when both targets are met.
#include <fcntl.h>
#include <getopt.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rgb/rgb.h"

namespace {

constexpr int kExportSide = 4096;
constexpr int kInfoWidth = 1920;
constexpr int kInfoHeight = 1080;
constexpr int kInfoFrames = 100;
constexpr int kFrameInterval = 40;
constexpr double kExportTarget = 5.0;  // at least this many times faster
constexpr double kInfoTarget = 2.0;    // at most this many times cat's time
constexpr int kDefaultRounds = 7;
constexpr double kKiB = 1024.0;

struct Sample {
  double seconds = 0;
  long peakKiB = 0;
};

struct Contender {
  std::string name;
  std::vector<std::string> argv;
  std::string stdoutFile;  // "" = /dev/null
  std::vector<Sample> samples;
  // The picture the contender writes. It is removed before every run, out of
  // the time measured: each tool writes a new file, as for a new export,
  // and none pays for freeing the previous round's picture.
  std::string output = "";
};

Sample runOnce(const Contender& c) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    const std::string out = c.stdoutFile.empty() ? "/dev/null" : c.stdoutFile;
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_RDWR);
    if (fd < 0 || null < 0) _exit(126);
    dup2(fd, STDOUT_FILENO);
    dup2(null, STDIN_FILENO);
    std::vector<char*> args;
    for (const std::string& a : c.argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed (status %d)\n", c.name.c_str(),
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::exit(1);
  }
  Sample s;
  s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  s.peakKiB = usage.ru_maxrss;
  return s;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double medianSeconds(const Contender& c) {
  std::vector<double> v;
  for (const Sample& s : c.samples) v.push_back(s.seconds);
  return median(v);
}

long peakKiB(const Contender& c) {
  long peak = 0;
  for (const Sample& s : c.samples) peak = std::max(peak, s.peakKiB);
  return peak;
}

// Runs every contender once per round, rotating who goes first.
void race(std::vector<Contender>& contenders, int rounds) {
  for (int r = 0; r < rounds; ++r)
    for (std::size_t i = 0; i < contenders.size(); ++i) {
      Contender& c = contenders[(i + static_cast<std::size_t>(r)) % contenders.size()];
      if (!c.output.empty()) std::filesystem::remove(c.output);
      c.samples.push_back(runOnce(c));
    }
}

void printTable(const std::vector<Contender>& contenders) {
  for (const Contender& c : contenders)
    std::printf("  %-34s median %8.4f s   peak %7.1f MiB\n", c.name.c_str(), medianSeconds(c),
                static_cast<double>(peakKiB(c)) / kKiB);
}

std::vector<unsigned char> pattern(int width, int height, int seed) {
  std::vector<unsigned char> image(3u * static_cast<std::size_t>(width) *
                                   static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<unsigned char>((i * 7 + i / 4093 + static_cast<std::size_t>(seed) * 31) & 0xff);
  return image;
}

void makeStream(const std::string& path, int width, int height, int frames) {
  std::filesystem::remove(path);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    std::perror(path.c_str());
    std::exit(1);
  }
  for (int n = 0; n < frames; ++n) {
    const std::vector<unsigned char> image = pattern(width, height, n);
    const int stamp = 1000 + kFrameInterval * n;
    if (writeRGBTimeStream(out, image.data(), width, height, 1, &stamp) != 1) std::exit(1);
  }
  if (std::fclose(out) != 0) std::exit(1);
}

// Reads a file once so that every contender finds it in the page cache.
void warm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
  }
}

std::vector<char> slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void usage(const char* self) {
  std::fprintf(stderr, "Usage: %s [--rounds N] [--dir DIR] [--tool PATH]\n", self);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = kDefaultRounds;
  std::string dir = std::filesystem::temp_directory_path().string();
  std::string tool = RGBTOOL_PATH;
  const option longOptions[] = {{"rounds", required_argument, nullptr, 'r'},
                                {"dir", required_argument, nullptr, 'd'},
                                {"tool", required_argument, nullptr, 't'},
                                {nullptr, 0, nullptr, 0}};
  for (int opt; (opt = getopt_long(argc, argv, "r:d:t:", longOptions, nullptr)) != -1;) {
    if (opt == 'r') {
      rounds = std::max(1, std::atoi(optarg));
    } else if (opt == 'd') {
      dir = optarg;
    } else if (opt == 't') {
      tool = optarg;
    } else {
      usage(argv[0]);
      return 2;
    }
  }
  const std::string work = dir + "/bench-rgbtool-" + std::to_string(getpid());
  std::filesystem::create_directories(work);
  const std::string frame = work + "/frame4096.rgb";
  const std::string stream = work + "/stream100.rgb";
  std::printf("making %s and %s ...\n", frame.c_str(), stream.c_str());
  std::fflush(stdout);
  makeStream(frame, kExportSide, kExportSide, 1);
  makeStream(stream, kInfoWidth, kInfoHeight, kInfoFrames);
  warm(frame);
  warm(stream);

  std::vector<Contender> exporters{
      {"rgbtool export FILE out.ppm", {tool, "export", frame, work + "/ours.ppm"}, "", {},
       work + "/ours.ppm"},
      {"sgitopnm FILE > out.ppm", {"sgitopnm", "-quiet", frame}, work + "/netpbm.ppm", {},
       work + "/netpbm.ppm"},
      {"convert sgi:FILE out.ppm", {"convert", "sgi:" + frame, work + "/magick.ppm"}, "", {},
       work + "/magick.ppm"}};
  std::printf("export of one %d x %d frame to PPM, %d rounds:\n", kExportSide, kExportSide,
              rounds);
  std::fflush(stdout);
  race(exporters, rounds);
  printTable(exporters);
  const bool sameOutput = slurp(work + "/ours.ppm") == slurp(work + "/netpbm.ppm") &&
                          slurp(work + "/ours.ppm") == slurp(work + "/magick.ppm");
  const double ours = medianSeconds(exporters[0]);
  const double fastest = std::min(medianSeconds(exporters[1]), medianSeconds(exporters[2]));
  const long othersPeak = std::min(peakKiB(exporters[1]), peakKiB(exporters[2]));
  const double exportRatio = fastest / ours;
  const bool exportOk = exportRatio >= kExportTarget && peakKiB(exporters[0]) < othersPeak;
  std::printf("  outputs identical: %s\n", sameOutput ? "yes" : "NO");
  std::printf("  speed-up over the faster other: %.2fx (target >= %.0fx), peak memory %.1f MiB "
              "vs %.1f MiB: %s\n",
              exportRatio, kExportTarget, static_cast<double>(peakKiB(exporters[0])) / kKiB,
              static_cast<double>(othersPeak) / kKiB, exportOk ? "within target" : "MISSED");

  std::vector<Contender> readers{{"rgbtool info FILE", {tool, "info", stream}, "", {}},
                                 {"cat FILE", {"cat", stream}, "", {}}};
  std::printf("info on a %d-frame %d x %d stream (%.0f MB), %d rounds:\n", kInfoFrames,
              kInfoWidth, kInfoHeight,
              static_cast<double>(std::filesystem::file_size(stream)) / 1e6, rounds);
  std::fflush(stdout);
  race(readers, rounds);
  printTable(readers);
  const double infoRatio = medianSeconds(readers[0]) / medianSeconds(readers[1]);
  const bool infoOk = infoRatio <= kInfoTarget;
  std::printf("  time relative to cat: %.3fx (target <= %.0fx): %s\n", infoRatio, kInfoTarget,
              infoOk ? "within target" : "MISSED");

  std::filesystem::remove_all(work);
  return exportOk && infoOk && sameOutput ? 0 : 1;
}
