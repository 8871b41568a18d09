// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Pictures made and read on several threads: export --all and import keep
// frame order, and a failure reads as it would from one thread (the first
// bad picture is named, nothing of a failed import stays, no picture after
// a failed one is written). Pictures are made and checked by netpbm and
// ImageMagick.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "rgbtool/pictures/worker_pool.h"
#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;

constexpr int kWidth = 37;
constexpr int kHeight = 23;
constexpr int kPictures = 9;  // more than the threads, so that several are in flight

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string numbered(const rgbtest::TempDir& dir, int n, const char* extension) {
  return dir.file("p" + std::to_string(n) + extension);
}

void requirePrograms() {
  for (const char* program : {"pnmtopng", "pngtopnm", "convert", "ffmpeg"})
    ASSERT_FALSE(findProgram(program).empty()) << program << " is missing: run scripts/install-deps";
}

// Picture n as a PNG made by netpbm.
void writePng(const std::string& path, const Picture& picture, const rgbtest::TempDir& dir) {
  writePpm(dir.file("tmp.ppm"), picture);
  RunOptions to;
  to.stdoutFile = path;
  ASSERT_EQ(runProgram({"pnmtopng", dir.file("tmp.ppm")}, to).status, 0);
}

Picture pngPicture(const std::string& path, const rgbtest::TempDir& dir) {
  RunOptions to;
  to.stdoutFile = dir.file("back.ppm");
  const Outcome read = runProgram({"pngtopnm", path}, to);
  EXPECT_EQ(read.status, 0) << path << ": " << read.err;
  return readPpm(dir.file("back.ppm"));
}

// Where export --all puts its pictures: numbered files, or one stream of
// PNGs on stdout, split by ffmpeg.
TEST(PicturesOnThreads, ExportAllWritesEveryPngInFrameOrder) {
  requirePrograms();
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(kPictures, kWidth, kHeight, 5);
  std::vector<int32_t> stamps;
  for (int n = 0; n < kPictures; ++n) stamps.push_back(40 * n);
  rgbtest::writeFile(dir.file("s.rgb"), rgbtest::streamBytes(frames, kPictures, kWidth, kHeight, stamps));

  const Outcome files = runTool({"export", "--all", dir.file("s.rgb"), dir.file("f%02d.png")});
  ASSERT_EQ(files.status, 0) << files.err;
  RunOptions toPipe;
  toPipe.stdoutFile = dir.file("all.png");
  ASSERT_EQ(runTool({"export", "--all", "--format", "png", dir.file("s.rgb"), "-"}, toPipe).status, 0);
  RunOptions split;
  split.stdinFile = dir.file("all.png");
  const Outcome raw = runProgram({"ffmpeg", "-v", "error", "-f", "image2pipe", "-c:v", "png", "-i",
                                  "-", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"},
                                 split);
  ASSERT_EQ(raw.status, 0) << raw.err;
  const std::size_t pictureBytes = 3u * kWidth * kHeight;
  ASSERT_EQ(raw.out.size(), pictureBytes * kPictures);
  for (int n = 0; n < kPictures; ++n) {
    SCOPED_TRACE("frame " + std::to_string(n));
    const Picture expected = pictureOfFrame(frames, n, kWidth, kHeight);
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.png", n);
    EXPECT_EQ(pngPicture(dir.file(name), dir).rgb, expected.rgb);
    const std::size_t at = pictureBytes * static_cast<std::size_t>(n);
    EXPECT_EQ(Bytes(raw.out.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.out.begin() + static_cast<std::ptrdiff_t>(at + pictureBytes)),
              expected.rgb);
  }
}

TEST(PicturesOnThreads, ExportStopsAtThePictureThatCannotBeWritten) {
  constexpr int kBlocked = 4;
  rgbtest::TempDir dir;
  const Bytes frames = rgbtest::patternImage(kPictures, kWidth, kHeight, 6);
  rgbtest::writeFile(dir.file("s.rgb"),
                     rgbtest::streamBytes(frames, kPictures, kWidth, kHeight,
                                          std::vector<int32_t>(kPictures, 0)));
  // A directory where picture 4 goes: only its write fails.
  std::filesystem::create_directory(dir.file("f04.png"));
  const Outcome run = runTool({"export", "--all", dir.file("s.rgb"), dir.file("f%02d.png")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "f04.png: ")) << run.err;
  for (int n = 0; n < kPictures; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.png", n);
    const bool exists = std::filesystem::is_regular_file(dir.file(name));
    EXPECT_EQ(exists, n < kBlocked) << name;
  }
}

// Broken pictures among good ones (cut half way): the first is named,
// and the stream keeps the one frame it had.
struct Broken {
  const char* name;
  std::set<int> pictures;
  int named;
};

class BrokenImport : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenImport, NamesTheFirstAndAppendsNothing) {
  requirePrograms();
  const Broken& broken = GetParam();
  rgbtest::TempDir dir;
  const Bytes before = rgbtest::streamBytes(rgbtest::patternImage(1, kWidth, kHeight, 1), 1, kWidth,
                                            kHeight, {7});
  rgbtest::writeFile(dir.file("s.rgb"), before);
  std::vector<std::string> args{"import", dir.file("s.rgb")};
  for (int n = 0; n < kPictures; ++n) {
    writePng(numbered(dir, n, ".png"), patternPicture(kWidth, kHeight, static_cast<unsigned>(n)), dir);
    if (broken.pictures.count(n)) {
      Bytes png = rgbtest::readFile(numbered(dir, n, ".png"));
      png.resize(png.size() / 2);
      rgbtest::writeFile(numbered(dir, n, ".png"), png);
    }
    args.push_back(numbered(dir, n, ".png"));
  }
  const Outcome run = runTool(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "p" + std::to_string(broken.named) + ".png: PNG: ")) << run.err;
  for (const int other : broken.pictures) {
    if (other != broken.named) {
      EXPECT_FALSE(has(run.err, "p" + std::to_string(other) + ".png")) << run.err;
    }
  }
  EXPECT_EQ(rgbtest::readFile(dir.file("s.rgb")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BrokenImport,
    ::testing::Values(Broken{"first", {0}, 0}, Broken{"middle", {3}, 3},
                      Broken{"two", {3, 6}, 3}, Broken{"last", {kPictures - 1}, kPictures - 1},
                      Broken{"next_two", {5, 4}, 4}),
    [](const auto& test) { return std::string(test.param.name); });

// PNG, PPM and SGI (ImageMagick's, run-length encoded) mixed: each frame
// holds its picture, in the order named, whichever format the first is.
TEST(PicturesOnThreads, ImportKeepsMixedPicturesInOrder) {
  requirePrograms();
  rgbtest::TempDir dir;
  std::vector<std::string> args{"import", "--start-ms", "0", "--interval-ms", "40", dir.file("s.rgb")};
  std::vector<Picture> pictures;
  for (int n = 0; n < kPictures; ++n) {
    pictures.push_back(patternPicture(kWidth, kHeight, 20u + static_cast<unsigned>(n)));
    const std::string ppm = numbered(dir, n, ".ppm");
    writePpm(ppm, pictures.back());
    if (n % 3 == 0) {
      ASSERT_EQ(runProgram({"convert", ppm, "sgi:" + numbered(dir, n, ".sgi")}).status, 0);
      args.push_back(numbered(dir, n, ".sgi"));
    } else if (n % 3 == 1) {
      writePng(numbered(dir, n, ".png"), pictures.back(), dir);
      args.push_back(numbered(dir, n, ".png"));
    } else {
      args.push_back(ppm);
    }
  }
  const Outcome run = runTool(args);
  ASSERT_EQ(run.status, 0) << run.err;
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("s.rgb"));
  ASSERT_EQ(loaded.frames, kPictures);
  for (int n = 0; n < kPictures; ++n)
    EXPECT_EQ(pictureOfFrame(loaded.pixels, n, kWidth, kHeight).rgb, pictures[static_cast<std::size_t>(n)].rgb)
        << "frame " << n;
}

// Writes `bytes` once into the named pipe `path` when a reader opens it, as
// `cat picture > pipe` would; gives up after a while if none does.
std::thread serveOnce(const std::string& path, Bytes bytes) {
  return std::thread([path, bytes = std::move(bytes)] {
    // A reader that leaves early makes the write fail, not end the test.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int fd = -1;
    while (std::chrono::steady_clock::now() < deadline) {
      fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0 || errno != ENXIO) break;  // ENXIO: no reader yet
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (fd < 0) return;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t put = write(fd, bytes.data() + at, bytes.size() - at);
      if (put <= 0) break;
      at += static_cast<std::size_t>(put);
    }
    close(fd);
  });
}

// Named pipes among the pictures are each read once, in their turn, in a
// format rgbtool reads itself or one the helper decodes: a producer that
// sends its picture once is enough, and a failure before a pipe is not
// held up by it. rgbtool runs under a deadline, so a second open fails the
// test instead of hanging it.
TEST(PicturesOnThreads, NamedPipesAreReadOnceInTheirTurn) {
  requirePrograms();
  rgbtest::TempDir dir;
  std::vector<Picture> pictures;
  for (unsigned n = 0; n < 4; ++n) pictures.push_back(patternPicture(kWidth, kHeight, 40 + n));
  writePng(dir.file("0.png"), pictures[0], dir);
  writePpm(dir.file("1.ppm"), pictures[1]);
  writePpm(dir.file("2.ppm"), pictures[2]);
  ASSERT_EQ(runProgram({"convert", dir.file("2.ppm"), "sgi:" + dir.file("2.sgi")}).status, 0);
  writePng(dir.file("3.png"), pictures[3], dir);
  for (const char* name : {"ppm.fifo", "sgi.fifo", "idle.fifo"})
    ASSERT_EQ(mkfifo(dir.file(name).c_str(), 0600), 0) << "cannot make a named pipe";

  std::vector<std::thread> producers;
  producers.push_back(serveOnce(dir.file("ppm.fifo"), rgbtest::readFile(dir.file("1.ppm"))));
  producers.push_back(serveOnce(dir.file("sgi.fifo"), rgbtest::readFile(dir.file("2.sgi"))));
  const std::vector<std::string> deadline{"timeout", "-s", "KILL", "30", RGBTOOL_PATH};
  std::vector<std::string> args = deadline;
  for (const char* word : {"import", "--start-ms", "0", "--interval-ms", "40"}) args.push_back(word);
  for (const char* name : {"s.rgb", "0.png", "ppm.fifo", "sgi.fifo", "3.png"})
    args.push_back(dir.file(name));
  const Outcome run = runProgram(args);
  for (std::thread& producer : producers) producer.join();
  ASSERT_EQ(run.status, 0) << run.err;
  const rgbtest::Loaded loaded = rgbtest::loadFile(dir.file("s.rgb"));
  ASSERT_EQ(loaded.frames, 4);
  for (int n = 0; n < 4; ++n)
    EXPECT_EQ(pictureOfFrame(loaded.pixels, n, kWidth, kHeight).rgb,
              pictures[static_cast<std::size_t>(n)].rgb)
        << "frame " << n;

  // The PNG cut short fails as it decodes; the pipe after it has no
  // producer and must not be waited for.
  Bytes png = rgbtest::readFile(dir.file("3.png"));
  png.resize(png.size() / 2);
  rgbtest::writeFile(dir.file("short.png"), png);
  args = deadline;
  args.push_back("import");
  for (const char* name : {"t.rgb", "0.png", "short.png", "idle.fifo", "0.png"})
    args.push_back(dir.file(name));
  const Outcome failed = runProgram(args);
  EXPECT_EQ(failed.status, 1) << failed.err;
  EXPECT_TRUE(has(failed.err, dir.file("short.png"))) << failed.err;
}

// An SGI picture tells its size only to its decoder: one of another size
// after the first is found as it is decoded, and nothing is appended.
TEST(PicturesOnThreads, ForeignPictureOfAnotherSizeIsRefused) {
  requirePrograms();
  rgbtest::TempDir dir;
  writePpm(dir.file("a.ppm"), patternPicture(kWidth, kHeight, 1));
  writePpm(dir.file("b.ppm"), patternPicture(kWidth + 1, kHeight, 2));
  for (const char* name : {"a", "b"})
    ASSERT_EQ(runProgram({"convert", dir.file(std::string(name) + ".ppm"),
                          "sgi:" + dir.file(std::string(name) + ".sgi")})
                  .status,
              0);
  const Outcome run = runTool({"import", dir.file("s.rgb"), dir.file("a.sgi"), dir.file("a.ppm"),
                               dir.file("b.sgi"), dir.file("a.sgi")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "picture 2 (" + dir.file("b.sgi") + ") is 38 x 23, not 37 x 23")) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("s.rgb")));
}

// The pool itself: every task runs once whatever the threads, and cancel()
// drops what has not begun.
TEST(WorkerPool, RunsEveryTaskOnceAndCancelDropsTheRest) {
  for (const unsigned threads : {0u, 1u, 3u}) {
    SCOPED_TRACE(threads);
    std::vector<std::atomic<int>> runs(64);
    rgbtool::WorkerPool pool(threads);
    std::vector<rgbtool::WorkerPool::Ticket> tickets;
    for (auto& count : runs) tickets.push_back(pool.submit([&count] { ++count; }));
    for (const auto ticket : tickets) pool.wait(ticket);
    for (const auto& count : runs) EXPECT_EQ(count, 1);
  }
  std::atomic<bool> release{false};
  std::atomic<int> started{0};
  rgbtool::WorkerPool pool(1);
  const auto blocking = [&] {
    ++started;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  pool.submit(blocking);
  const auto dropped = pool.submit(blocking);
  while (started == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    release = true;
  });
  pool.cancel();
  releaser.join();
  pool.wait(dropped);
  EXPECT_EQ(started, 1);
}

}  // namespace
}  // namespace rgbtooltest
