// Loading and writing a 100-frame 1920 x 1080 stream with the library,
// side by side with the plain way to do the same I/O, alternating the two
// sides so that both see the same machine. Prints medians and ratios.
//
//   bench_stream [--frames N] [--rounds R] [--dir DIR]
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

int loadWithLibrary(const char* path) {
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

// Writers report the time of the write alone (open to close); making the
// frames in memory is the same work on both sides.
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

// ---- the driver ----

struct Run {
  double wall;      // whole process
  double reported;  // what the child printed, if a time
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
  return {wall, std::atof(out.c_str())};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int drive(const std::string& self, const std::string& dir, int frames, int rounds) {
  const std::string stream = dir + "/bench.rgb";
  const std::string out = dir + "/out.rgb";
  std::remove(stream.c_str());
  {
    auto image = testImage(frames);
    const std::vector<int> times = stamps(frames);
    if (!image || writeRGBTimeFile(stream.c_str(), image.get(), kWidth, kHeight, frames,
                                   times.data()) != frames)
      return 1;
  }
  std::printf("stream: %d frames of %dx%d, %.1f MB in %s\n", frames, kWidth, kHeight,
              static_cast<double>(imageBytes(frames) + 512u * static_cast<unsigned>(frames)) / 1e6,
              dir.c_str());
  const std::string frameCount = std::to_string(frames);
  std::vector<double> cat, libLoad, plainLoad, libWrite, plainWrite;
  for (int r = 0; r < rounds; ++r) {
    cat.push_back(runChild({"/bin/sh", "-c", "cat '" + stream + "' > /dev/null"}).wall);
    libLoad.push_back(runChild({self, "load-rgb", stream}).wall);
    plainLoad.push_back(runChild({self, "load-plain", stream}).wall);
    std::remove(out.c_str());
    libWrite.push_back(runChild({self, "write-rgb", out, frameCount}).reported);
    std::remove(out.c_str());
    plainWrite.push_back(runChild({self, "write-plain", out, frameCount}).reported);
    std::remove(out.c_str());
  }
  std::remove(stream.c_str());
  const double loadRatio = median(libLoad) / median(plainLoad);
  const double writeRatio = median(libWrite) / median(plainWrite);
  std::printf("medians of %d alternating rounds (seconds):\n", rounds);
  std::printf("  cat FILE > /dev/null           %8.3f\n", median(cat));
  std::printf("  readRGBFile, whole process     %8.3f\n", median(libLoad));
  std::printf("  malloc + fread, whole process  %8.3f   (%.1f x cat)\n", median(plainLoad),
              median(plainLoad) / median(cat));
  std::printf("  writeRGBTimeFile               %8.3f\n", median(libWrite));
  std::printf("  one fwrite of the same bytes   %8.3f\n", median(plainWrite));
  std::printf("load ratio  (readRGBFile / plain read):  %.2f  (target <= 0.50) %s\n", loadRatio,
              loadRatio <= 0.5 ? "ok" : "MISSED");
  std::printf("write ratio (writeRGBTimeFile / fwrite): %.2f  (target <= 1.50) %s\n", writeRatio,
              writeRatio <= 1.5 ? "ok" : "MISSED");
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
  if (mode == "load-rgb" && argc == 3) return loadWithLibrary(argv[2]);
  if (mode == "load-plain" && argc == 3) return loadPlain(argv[2]);
  if (mode == "write-rgb" && argc == 4) return writeWithLibrary(argv[2], std::atoi(argv[3]));
  if (mode == "write-plain" && argc == 4) return writePlain(argv[2], std::atoi(argv[3]));

  int frames = 100;
  int rounds = 5;
  std::string dir;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--frames") frames = std::atoi(argv[i + 1]);
    else if (option == "--rounds") rounds = std::atoi(argv[i + 1]);
    else if (option == "--dir") dir = argv[i + 1];
  }
  if (frames <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: %s [--frames N] [--rounds R] [--dir DIR]\n", argv[0]);
    return 2;
  }
  char pattern[] = "/tmp/bench-stream-XXXXXX";
  const bool ownDir = dir.empty();
  if (ownDir) {
    if (!mkdtemp(pattern)) return 1;
    dir = pattern;
  }
  const int status = drive(selfPath(), dir, frames, rounds);
  if (ownDir) rmdir(dir.c_str());
  return status;
}
