// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Whole-process timings of rgbtool next to the programs people would use
// otherwise, on the same cached files, in one run:
//   export of one 4096 x 4096 frame to PPM   vs netpbm sgitopnm, ImageMagick convert
//   info on a 100-frame 1920 x 1080 stream   vs cat
//   import of 20 1920 x 1080 PNGs             vs ffmpeg decoding them to raw RGB
//   export --all of 50 such frames to PNG     vs ffmpeg encoding the same raw
//                                                frames at the same zlib level
//                                                and filter choice
// Each round runs every contender once, in a rotating order, from the same
// state: cached inputs, outputs removed and the disk synced before each run,
// out of the time. The report gives medians, both times, their ratio and the
// peak resident memory of each process (from wait4). Exit status 0 when
// every target is met.
#include <fcntl.h>
#include <getopt.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/utsname.h>
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
constexpr int kPictures = 20;        // PNGs imported
constexpr int kExportFrames = 20;    // frames exported to PNG
constexpr double kPictureTarget = 1.0;  // at most ffmpeg's time
constexpr double kImportMemoryTarget = 1.5;  // frames above the base
// ffmpeg's PNG encoder at the settings rgbtool's writer uses: zlib level 6
// and, for every row, the filter with the smallest sum of magnitudes.
constexpr const char* kPngLevel = "6";
constexpr const char* kPngFilters = "mixed";
constexpr double kKiB = 1024.0;
constexpr std::size_t kChannels = 3;

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
  // Or a directory of pictures, emptied before every run.
  std::string outputDir = "";
  bool quiet = false;  // its standard error goes to /dev/null (counts it reports)
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
    if (c.quiet) dup2(null, STDERR_FILENO);
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
      if (!c.outputDir.empty()) {
        std::filesystem::remove_all(c.outputDir);
        std::filesystem::create_directories(c.outputDir);
      }
      // Nothing an earlier run left dirty is written back in this one's time.
      sync();
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

// A picture with what camera frames have: smooth shading, edges and a
// little noise, so that PNG compresses it about as it compresses camera
// frames (to about a third).
// Row 0 is the top row.
std::vector<unsigned char> scene(int width, int height, int seed) {
  std::vector<unsigned char> image(kChannels * static_cast<std::size_t>(width) *
                                   static_cast<std::size_t>(height));
  uint32_t noise = 12345u + static_cast<uint32_t>(seed);
  const int cx = width / 3 + seed * 16;
  const int cy = height / 2;
  const int radius = height / 4;
  std::size_t at = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool disc = (x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius;
      const int base[kChannels] = {x * 255 / width, y * 255 / height,
                                   disc ? 220 : (x / 64 + y / 64) % 2 ? 90 : 40};
      for (std::size_t c = 0; c < kChannels; ++c) {
        noise = noise * 1664525u + 1013904223u;
        // Sensor noise: one sample in four off by one.
        const int value = base[c] + ((noise >> 28) == 0 ? 1 : (noise >> 28) == 1 ? -1 : 0);
        image[at++] = static_cast<unsigned char>(std::clamp(value, 0, 255));
      }
    }
  return image;
}

// The same scenes as a stream (its frames hold the bottom row first) and as
// raw RGB rows, top row first, as ffmpeg reads them.
void makeScenes(const std::string& stream, const std::string& raw, int width, int height,
                int frames) {
  FILE* out = std::fopen(stream.c_str(), "wb");
  FILE* rows = std::fopen(raw.c_str(), "wb");
  if (!out || !rows) {
    std::perror("cannot make the scenes");
    std::exit(1);
  }
  const std::size_t rowBytes = kChannels * static_cast<std::size_t>(width);
  for (int n = 0; n < frames; ++n) {
    const std::vector<unsigned char> image = scene(width, height, n);
    if (std::fwrite(image.data(), 1, image.size(), rows) != image.size()) std::exit(1);
    std::vector<unsigned char> upward(image.size());
    for (int y = 0; y < height; ++y)
      std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<std::size_t>(y)),
                  rowBytes,
                  upward.begin() +
                      static_cast<std::ptrdiff_t>(rowBytes * static_cast<std::size_t>(height - 1 - y)));
    const int stamp = kFrameInterval * n;
    if (writeRGBTimeStream(out, upward.data(), width, height, 1, &stamp) != 1) std::exit(1);
  }
  if (std::fclose(out) != 0 || std::fclose(rows) != 0) std::exit(1);
}

// Runs a preparing command; its failure ends the benchmark.
void prepare(const std::vector<std::string>& argv) {
  Contender step{"preparing with " + argv[0], argv, "", {}};
  runOnce(step);
}

std::vector<std::string> rawInput(const std::string& raw, int width, int height) {
  return {"-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
          std::to_string(width) + "x" + std::to_string(height), "-i", raw};
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

uint64_t directoryBytes(const std::string& dir) {
  uint64_t total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    total += entry.file_size();
  return total;
}

void printRatio(const char* what, const Contender& ours, const Contender& theirs, double target,
                bool& ok) {
  const double ratio = medianSeconds(ours) / medianSeconds(theirs);
  const bool met = ratio <= target;
  ok = ok && met;
  std::printf("  %s: %.4f s vs %.4f s, %.2fx ffmpeg's time (target <= %.1fx): %s\n", what,
              medianSeconds(ours), medianSeconds(theirs), ratio, target,
              met ? "within target" : "MISSED");
}

// Import of PNGs against ffmpeg decoding them. Two sinks: /dev/null (both
// decode and hand every byte over, nothing stored: the decoding alone) and a
// new file on the disk (import --new syncs the stream to the disk before it
// reports success, as an append does, so ffmpeg's raw file is synced too,
// by `sync FILE` in the same timed run).
bool benchImport(const std::string& work, const std::string& tool, int rounds) {
  const std::string stream = work + "/pictures.rgb";
  const std::string raw = work + "/pictures.raw";
  const std::string pictures = work + "/in";
  std::filesystem::create_directories(pictures);
  makeScenes(stream, raw, kInfoWidth, kInfoHeight, kPictures);
  prepare(joined({"ffmpeg", "-v", "error", "-nostdin"},
                 joined(rawInput(raw, kInfoWidth, kInfoHeight),
                        {"-compression_level", kPngLevel, "-pred", kPngFilters,
                         pictures + "/f%04d.png"})));
  const std::string tiny = work + "/tiny.png";
  prepare({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i", "color=c=gray:s=16x16",
           "-frames:v", "1", tiny});
  for (const auto& entry : std::filesystem::directory_iterator(pictures)) warm(entry.path());
  const std::string names = pictures + "/f%04d.png";
  const std::vector<std::string> stamps{"--start-ms", "0", "--interval-ms", "40"};
  const std::vector<std::string> decode{"ffmpeg", "-v", "error", "-nostdin", "-i", names,
                                        "-f", "rawvideo", "-pix_fmt", "rgb24", "-y"};
  std::vector<Contender> importers{
      {"rgbtool import - PNGs > /dev/null",
       joined(joined({tool, "import"}, stamps), {"-", names}), "", {}},
      {"ffmpeg -i PNGs -f rawvideo - >/dev/null", joined(decode, {"-"}), "", {}},
      {"rgbtool import --new OUT PNGs",
       joined(joined({tool, "import", "--new"}, stamps), {work + "/ours.rgb", names}), "", {},
       work + "/ours.rgb", "", true},
      {"ffmpeg -i PNGs -f rawvideo OUT; sync OUT",
       joined({"sh", "-c", "out=$1; shift; \"$@\" && sync \"$out\"", "sh", work + "/ffmpeg.raw"},
              joined(decode, {work + "/ffmpeg.raw"})),
       "", {}, work + "/ffmpeg.raw"},
      {"rgbtool import OUT PNGs (appending)",
       joined(joined({tool, "import"}, stamps), {work + "/appended.rgb", names}), "", {},
       work + "/appended.rgb", "", true},
      {"rgbtool import - tiny.png (the base)",
       joined(joined({tool, "import"}, stamps), {"-", tiny}), "", {}}};
  std::printf("import of %d %d x %d PNGs (%.0f MB), %d rounds:\n", kPictures, kInfoWidth,
              kInfoHeight, static_cast<double>(directoryBytes(pictures)) / 1e6, rounds);
  std::fflush(stdout);
  race(importers, rounds);
  printTable(importers);
  bool ok = true;
  printRatio("to /dev/null", importers[0], importers[1], kPictureTarget, ok);
  printRatio("to a new file", importers[2], importers[3], kPictureTarget, ok);
  printRatio("appending to a new file", importers[4], importers[3], kPictureTarget, ok);
  const double frameKiB = static_cast<double>(kChannels) * kInfoWidth * kInfoHeight / kKiB;
  const long base = peakKiB(importers[5]);
  for (std::size_t i : {std::size_t{0}, std::size_t{2}, std::size_t{4}}) {
    const double frames = static_cast<double>(peakKiB(importers[i]) - base) / frameKiB;
    const bool met = frames <= kImportMemoryTarget;
    ok = ok && met;
    std::printf("  %s: peak %.2f frames above the base of %.1f MiB (target <= %.1f): %s\n",
                importers[i].name.c_str(), frames, static_cast<double>(base) / kKiB,
                kImportMemoryTarget, met ? "within target" : "MISSED");
  }
  return ok;
}

// export --all to PNG against ffmpeg encoding the same frames from raw RGB.
bool benchExport(const std::string& work, const std::string& tool, int rounds) {
  const std::string stream = work + "/export.rgb";
  const std::string raw = work + "/export.raw";
  makeScenes(stream, raw, kInfoWidth, kInfoHeight, kExportFrames);
  warm(stream);
  warm(raw);
  const std::string oursDir = work + "/ours-png";
  const std::string theirsDir = work + "/ffmpeg-png";
  std::vector<Contender> exporters{
      {"rgbtool export --all FILE f%04d.png", {tool, "export", "--all", stream, oursDir + "/f%04d.png"},
       "", {}, "", oursDir},
      {"ffmpeg -f rawvideo -i RAW f%04d.png",
       joined(joined({"ffmpeg", "-v", "error", "-nostdin"}, rawInput(raw, kInfoWidth, kInfoHeight)),
              {"-compression_level", kPngLevel, "-pred", kPngFilters, theirsDir + "/f%04d.png"}),
       "", {}, "", theirsDir}};
  std::printf("export --all of %d %d x %d frames to PNG (zlib level %s, filter per row), "
              "%d rounds:\n", kExportFrames, kInfoWidth, kInfoHeight, kPngLevel, rounds);
  std::fflush(stdout);
  race(exporters, rounds);
  printTable(exporters);
  std::printf("  PNG bytes: rgbtool %.1f MB, ffmpeg %.1f MB\n",
              static_cast<double>(directoryBytes(oursDir)) / 1e6,
              static_cast<double>(directoryBytes(theirsDir)) / 1e6);
  bool ok = true;
  printRatio("export", exporters[0], exporters[1], kPictureTarget, ok);
  return ok;
}

std::vector<char> slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// export of a large frame to PPM against netpbm and ImageMagick; info against cat.
bool benchPpmAndInfo(const std::string& work, const std::string& tool, int rounds) {
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
  return exportOk && infoOk && sameOutput;
}

void usage(const char* self) {
  std::fprintf(stderr, "Usage: %s [--rounds N] [--dir DIR] [--tool PATH] [--only ppm|pictures] [--keep]\n",
               self);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = kDefaultRounds;
  std::string dir = std::filesystem::temp_directory_path().string();
  std::string tool = RGBTOOL_PATH;
  bool keep = false;  // the files made stay, for a closer look
  std::string only;  // "ppm": export to PPM and info; "pictures": import and export of PNGs
  const option longOptions[] = {{"rounds", required_argument, nullptr, 'r'},
                                {"dir", required_argument, nullptr, 'd'},
                                {"tool", required_argument, nullptr, 't'},
                                {"only", required_argument, nullptr, 'o'},
                                {"keep", no_argument, nullptr, 'k'},
                                {nullptr, 0, nullptr, 0}};
  for (int opt; (opt = getopt_long(argc, argv, "r:d:t:o:k", longOptions, nullptr)) != -1;) {
    if (opt == 'r') {
      rounds = std::max(1, std::atoi(optarg));
    } else if (opt == 'd') {
      dir = optarg;
    } else if (opt == 't') {
      tool = optarg;
    } else if (opt == 'k') {
      keep = true;
    } else if (opt == 'o' && (std::strcmp(optarg, "ppm") == 0 || std::strcmp(optarg, "pictures") == 0)) {
      only = optarg;
    } else {
      usage(argv[0]);
      return 2;
    }
  }
  struct utsname system;
  if (uname(&system) == 0) std::printf("kernel %s\n", system.release);
  const std::string work = dir + "/bench-rgbtool-" + std::to_string(getpid());
  std::filesystem::create_directories(work);
  const bool ppmOk = only == "pictures" || benchPpmAndInfo(work, tool, rounds);
  const bool importOk = only == "ppm" || benchImport(work, tool, rounds);
  const bool pngOk = only == "ppm" || benchExport(work, tool, rounds);
  const bool picturesOk = importOk && pngOk;
  if (keep) {
    std::printf("the files are kept in %s\n", work.c_str());
  } else {
    std::filesystem::remove_all(work);
  }
  return ppmOk && picturesOk ? 0 : 1;
}
