// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Hostile declared sizes x programs: every program runs as a real process
// on a stream whose first header declares a huge frame that never comes,
// from a 512-byte file, or from a FIFO whose producer sends the header and
// a little of the pixels and then stalls before it leaves. Each must fail,
// and its peak resident memory (the kernel's ru_maxrss, which counts
// across exec) must stay under the limit: a program that commits the
// declared size first reaches gigabytes. rgbplay's row is in the player's
// tests, which give it the X server it needs.
//
// To add a program, add rows to kPrograms (its path comes from the build,
// as RGBTOOL_PATH does).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/hardening/fifo.h"
#include "tests/support/test_support.h"

namespace {

using rgbtest::Bytes;
using rgbtest::TempDir;

// The sanitizers' shadow memory and the FFmpeg libraries of a sanitized
// build take more of their own; either limit is far below the declared
// frames (2.7 GB and 17 GB).
#ifdef RGB_TEST_SANITIZED
constexpr long kLimitKiB = 256 * 1024;
#else
constexpr long kLimitKiB = 64 * 1024;
#endif
constexpr std::size_t kPixelsSent = 64 * 1024;
constexpr auto kStall = std::chrono::milliseconds(500);
constexpr int kExecFailed = 127;
// What import may hold beyond its base, in frames: the picture, converted
// by the library writer a piece at a time.
constexpr double kImportFrames = 1.5;

enum class Source { File, StalledFifo };

struct Declared {
  const char* name;
  uint16_t width;
  uint16_t height;
  uint16_t planes;
};

const Declared kDeclared[] = {
    {"30000 x 30000 RGB", 30000, 30000, 3},
    {"65535 x 65535 RGBA", 65535, 65535, 4},
};

// A program's command line for an input stream `in`, writing (if at all)
// into `dir`.
struct Program {
  const char* name;
  std::function<std::vector<std::string>(const std::string& in, const TempDir& dir)> argv;
  bool fifo;  // also run on the stalled FIFO
};

std::vector<std::string> tool(std::vector<std::string> args) {
  args.insert(args.begin(), RGBTOOL_PATH);
  return args;
}

const Program kPrograms[] = {
    {"rgbtool info", [](auto& in, auto&) { return tool({"info", in}); }, true},
    {"rgbtool check", [](auto& in, auto&) { return tool({"check", in}); }, true},
    {"rgbtool info --plot",
     [](auto& in, auto& dir) { return tool({"info", "--plot", dir.file("p.png"), in}); }, true},
    {"rgbtool export", [](auto& in, auto& dir) { return tool({"export", in, dir.file("x.ppm")}); },
     true},
    {"rgbtool export --all",
     [](auto& in, auto& dir) { return tool({"export", "--all", in, dir.file("x%d.png")}); },
     true},
    {"rgbtool mark", [](auto& in, auto& dir) { return tool({"mark", in, dir.file("m.ppm")}); },
     true},
    {"rgbtool watch", [](auto& in, auto&) { return tool({"watch", in}); }, true},
    {"rgbtool sheet", [](auto& in, auto& dir) { return tool({"sheet", in, dir.file("s.png")}); },
     true},
    {"rgbtool video", [](auto& in, auto& dir) { return tool({"video", in, dir.file("v.mkv")}); },
     true},
    // import appends onto the hostile stream: only a file can be that.
    {"rgbtool import",
     [](auto& in, auto& dir) { return tool({"import", in, dir.file("small.ppm")}); }, false},
};

Bytes hostileHeader(const Declared& declared) {
  rgbtest::HeaderFields fields;
  fields.xsize = declared.width;
  fields.ysize = declared.height;
  fields.zsize = declared.planes;
  return rgbtest::headerBytes(fields);
}

struct Measured {
  int status = -1;
  long peakKiB = 0;
  std::string err;
};

// Runs argv with stdout and stderr into files; ru_maxrss from wait4.
Measured measure(const std::vector<std::string>& argv, const TempDir& dir,
            const std::function<void()>& whileRunning) {
  const std::string errFile = dir.file("stderr");
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(dir.file("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(kExecFailed);
  }
  whileRunning();
  Measured run;
  int raw = 0;
  rusage usage{};
  if (wait4(pid, &raw, 0, &usage) != pid) return run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.peakKiB = usage.ru_maxrss;
  const Bytes err = rgbtest::readFile(errFile);
  run.err.assign(err.begin(), err.end());
  return run;
}

Measured runOn(const Program& program, const Declared& declared, Source source) {
  TempDir dir;
  const Bytes header = hostileHeader(declared);
  rgbtest::writeFile(dir.file("small.ppm"), Bytes{'P', '6', ' ', '1', ' ', '1', ' ', '2', '5',
                                                  '5', '\n', 1, 2, 3});
  if (source == Source::File) {
    rgbtest::writeFile(dir.file("in.rgb"), header);
    return measure(program.argv(dir.file("in.rgb"), dir), dir, [] {});
  }
  const std::string fifo = dir.file("live");
  hardening::makeFifo(fifo);
  return measure(program.argv(fifo, dir), dir, [&] {
    const int fd = hardening::openFifoWriter(fifo);
    Bytes sent = header;
    sent.resize(header.size() + kPixelsSent, 0x7f);
    hardening::writeAll(fd, sent.data(), sent.size());
    std::this_thread::sleep_for(kStall);
    close(fd);
  });
}

TEST(Memory, HostileDeclaredSizesStayUnderTheLimitInEveryProgram) {
  for (const Program& program : kPrograms) {
    for (const Declared& declared : kDeclared) {
      for (const Source source : {Source::File, Source::StalledFifo}) {
        if (source == Source::StalledFifo && !program.fifo) continue;
        const char* from = source == Source::File ? "a 512-byte file" : "a stalled FIFO";
        SCOPED_TRACE(std::string(program.name) + " on " + declared.name + " from " + from);
        const Measured run = runOn(program, declared, source);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_LT(run.peakKiB, kLimitKiB);
        std::printf("%-22s %-20s %-16s peak %6ld KiB\n", program.name, declared.name, from,
                    run.peakKiB);
      }
    }
  }
}

// Tile sizes that cannot make a picture are refused before any frame is
// read: at once, and without a tile height wrapped negative.
TEST(Memory, SheetRefusesTilesThatCannotFitAtOnce) {
  TempDir dir;
  rgbtest::HeaderFields tall;
  tall.xsize = 1;
  tall.ysize = 65535;
  rgbtest::writeFile(dir.file("tall.rgb"), rgbtest::headerBytes(tall));
  const Declared small{"2 x 2", 2, 2, 3};
  rgbtest::writeFile(dir.file("small.rgb"), hostileHeader(small));
  const struct {
    const char* tileWidth;
    const char* input;
  } cases[] = {{"65535", "small.rgb"}, {"40000", "tall.rgb"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("--tile-width ") + c.tileWidth + " on " + c.input);
    const auto started = std::chrono::steady_clock::now();
    const Measured run = measure(tool({"sheet", "--tile-width", c.tileWidth, dir.file(c.input),
                                  dir.file("s.png")}),
                            dir, [] {});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("use a smaller --tile-width"), std::string::npos) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_LT(run.peakKiB, kLimitKiB);
    EXPECT_NE(access(dir.file("s.png").c_str(), F_OK), 0);
  }
}

// import holds one picture and the library's writer converts it frame by
// frame: its peak beyond a run on a tiny picture stays near one frame.
TEST(Memory, ImportPeakStaysNearOneFrame) {
  constexpr int kSide = 2048;
  constexpr std::size_t kFrameBytes = std::size_t{kSide} * kSide * 3;
  TempDir dir;
  Bytes ppm;
  const std::string head = "P6\n" + std::to_string(kSide) + " " + std::to_string(kSide) +
                           "\n255\n";
  ppm.assign(head.begin(), head.end());
  ppm.resize(head.size() + kFrameBytes, 0x5a);
  rgbtest::writeFile(dir.file("big.ppm"), ppm);
  rgbtest::writeFile(dir.file("tiny.ppm"),
                     Bytes{'P', '6', ' ', '1', ' ', '1', ' ', '2', '5', '5', '\n', 1, 2, 3});
  const Measured tiny = measure(tool({"import", dir.file("t.rgb"), dir.file("tiny.ppm")}), dir, [] {});
  ASSERT_EQ(tiny.status, 0) << tiny.err;
  const Measured big = measure(tool({"import", dir.file("b.rgb"), dir.file("big.ppm")}), dir, [] {});
  ASSERT_EQ(big.status, 0) << big.err;
  const double frames =
      static_cast<double>(big.peakKiB - tiny.peakKiB) * 1024.0 / static_cast<double>(kFrameBytes);
  std::printf("import: %.2f frames beyond the base (%ld KiB, base %ld KiB)\n", frames,
              big.peakKiB, tiny.peakKiB);
#ifndef RGB_TEST_SANITIZED
  EXPECT_LE(frames, kImportFrames);
#endif
}

}  // namespace
