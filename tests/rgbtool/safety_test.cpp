// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Nothing lost: rgbtool never overwrites its own input, a failed or
// interrupted run leaves every file as it found it, and odd but legal
// surroundings (closed descriptors, a half-read standard input) do not send
// data to the wrong place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "tests/rgbtool/pictures.h"
#include "tests/rgbtool/tool_process.h"

namespace rgbtooltest {
namespace {

using rgbtest::Bytes;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(10);
// How long a process that should be ending may take, on a loaded machine.
constexpr auto kEndPatience = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(10);

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

std::set<std::string> namesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

// Runs rgbtool under /bin/sh after `setup` (shell commands), so that limits,
// ignored signals and redirections apply to rgbtool itself.
Outcome runToolAfter(const std::string& setup, const std::vector<std::string>& args,
                     const RunOptions& options = {}) {
  std::vector<std::string> argv{"/bin/sh", "-c", setup + "\nexec \"$0\" \"$@\"", RGBTOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(argv, options);
}

// One frame of `picture` in stream form, built without rgbtool.
Bytes frameOf(const Picture& picture, int32_t stamp) {
  return rgbtest::frameBytes(frameOfPicture(picture), 0, picture.width, picture.height, stamp);
}

// Opens a named pipe for writing once `pid` has opened it for reading;
// fails instead of hanging when the process ends or never gets there.
int openPipeForWriting(const std::string& path, int pid) {
  const auto deadline = Clock::now() + kPatience;
  while (Clock::now() < deadline) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      // Back to blocking writes: the reader takes the bytes at its pace.
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO) break;
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) == pid) {
      ADD_FAILURE() << "rgbtool ended before it opened " << path;
      return -1;
    }
    std::this_thread::sleep_for(kPoll);
  }
  ADD_FAILURE() << "rgbtool never opened " << path;
  return -1;
}

void writeText(int fd, const std::string& text) {
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

// Ends a started process that outlived the test's patience.
int stop(int pid) {
  kill(pid, SIGKILL);
  return waitFor(pid);
}

// Waits for `pid` to end; one that outlives the test's patience is a
// failure, and is ended, rather than a hang.
int waitPatiently(int pid) {
  const auto deadline = Clock::now() + kEndPatience;
  while (Clock::now() < deadline) {
    siginfo_t ended{};
    if (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        ended.si_pid == pid)
      return waitFor(pid);
    std::this_thread::sleep_for(kPoll);
  }
  ADD_FAILURE() << "process " << pid << " did not end";
  return stop(pid);
}

// True once `pid` waits for a flock (a "->" line in /proc/locks) or has
// ended; false when neither happened in time.
bool blockedOnLockOrGone(int pid) {
  const auto deadline = Clock::now() + kPatience;
  const std::string waiter = " " + std::to_string(pid) + " ";
  while (Clock::now() < deadline) {
    siginfo_t ended{};
    if (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        ended.si_pid == pid)
      return true;
    std::ifstream locks("/proc/locks");
    if (!locks) {
      ADD_FAILURE() << "cannot read /proc/locks";
      return false;
    }
    for (std::string line; std::getline(locks, line);)
      if (has(line, "->") && has(line, "FLOCK") && has(line, waiter)) return true;
    std::this_thread::sleep_for(kPoll);
  }
  return false;
}

// An import of two pictures, the second through a named pipe, which
// rgbtool opens in its turn, once the first frame is appended: the pipe
// then serves a header and part of the pixels, and holds the rest back.
class HeldImport {
 public:
  HeldImport(const rgbtest::TempDir& dir, const std::string& stream, int width, int height)
      : stream_(stream),
        pipe_(dir.file("held.fifo")),
        header_("P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n") {
    struct stat info;
    initialSize_ = stat(stream.c_str(), &info) == 0 ? info.st_size : 0;
    first_ = patternPicture(width, height, 11);
    writePpm(dir.file("first.ppm"), first_);
    if (mkfifo(pipe_.c_str(), 0600) != 0) {
      ADD_FAILURE() << "cannot make a named pipe: " << std::strerror(errno);
      return;
    }
    pid_ = startTool({"import", "--start-ms", "1000", "--interval-ms", "40", stream,
                      dir.file("first.ppm"), pipe_},
                     dir.file("import.out"), dir.file("import.err"));
  }
  ~HeldImport() {
    if (writer_ >= 0) close(writer_);
    if (pid_ > 0) stop(pid_);
  }
  HeldImport(const HeldImport&) = delete;
  HeldImport& operator=(const HeldImport&) = delete;

  // Returns once rgbtool has appended the first frame and waits for pixels.
  bool hold() {
    if (pid_ <= 0 || !streamGrew()) return false;
    writer_ = openPipeForWriting(pipe_, pid_);
    if (writer_ < 0) return false;
    writeText(writer_, header_ + "part of the pixels");
    return true;
  }
  bool streamGrew() {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      struct stat info;
      if (stat(stream_.c_str(), &info) == 0 && info.st_size > initialSize_) return true;
      siginfo_t ended{};
      if (waitid(P_PID, static_cast<id_t>(pid_), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 ||
          ended.si_pid == pid_)
        break;
      std::this_thread::sleep_for(kPoll);
    }
    ADD_FAILURE() << "rgbtool did not append the first frame";
    return false;
  }
  // Ends the picture early: the import fails.
  void cutShort() {
    close(writer_);
    writer_ = -1;
  }
  int wait() {
    const int status = waitPatiently(pid_);
    pid_ = -1;
    return status;
  }
  int pid() const { return pid_; }

 private:
  std::string stream_;
  off_t initialSize_ = 0;
  std::string pipe_;
  std::string header_;
  Picture first_;
  int pid_ = -1;
  int writer_ = -1;
};

// A stream of one 64 x 64 frame: big enough that buffered output would
// reach the file in pieces.
constexpr int kSide = 64;

Bytes oneFrameStream() {
  return rgbtest::streamBytes(rgbtest::patternImage(1, kSide, kSide, 5), 1, kSide, kSide, {7});
}

TEST(ToolSafety, OutputThatIsTheInputIsRefused) {
  rgbtest::TempDir dir;
  const Bytes stream = rgbtest::streamBytes(rgbtest::patternImage(2, 4, 3, 9), 2, 4, 3, {100, 140});
  const std::string input = dir.file("s.rgb");
  rgbtest::writeFile(input, stream);
  ASSERT_EQ(link(input.c_str(), dir.file("hard.rgb").c_str()), 0);
  ASSERT_EQ(symlink("s.rgb", dir.file("soft.rgb").c_str()), 0);
  // With --all the input is the second name produced: the first picture is
  // written, then the run stops before touching the input.
  const std::string numbered = dir.file("1.rgb");
  rgbtest::writeFile(numbered, stream);

  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string in;
  };
  const std::vector<Case> cases = {
      {{"export", "--format", "ppm", input, dir.file("hard.rgb")}, dir.file("hard.rgb"), input},
      {{"mark", "--format", "png", input, dir.path() + "/./soft.rgb"},
       dir.path() + "/./soft.rgb",
       input},
      {{"export", "--all", "--format", "ppm", numbered, dir.file("%d.rgb")}, numbered, numbered},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " to " + c.out);
    const Outcome run = runTool(c.args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err.rfind("rgbtool: ", 0), 0u) << run.err;
    EXPECT_TRUE(has(run.err, c.out) && has(run.err, c.in)) << run.err;
    EXPECT_EQ(rgbtest::readFile(c.in), stream);
  }
  EXPECT_EQ(rgbtest::readFile(dir.file("0.rgb")),
            ppmBytes(pictureOfFrame(rgbtest::patternImage(2, 4, 3, 9), 0, 4, 3)));
  struct stat info;
  ASSERT_EQ(lstat(dir.file("soft.rgb").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST(ToolSafety, PictureReplacesOutOnlyWhenComplete) {
  rgbtest::TempDir dir;
  const int side = 300;  // far beyond the file size limit below
  const Bytes pixels = rgbtest::patternImage(1, side, side, 4);
  rgbtest::writeFile(dir.file("big.rgb"), rgbtest::streamBytes(pixels, 1, side, side, {0}));
  const Bytes old = {'o', 'l', 'd', '\n'};
  const std::string target = dir.file("old.ppm");
  rgbtest::writeFile(target, old);
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(symlink("old.ppm", dir.file("link.ppm").c_str()), 0);
  const std::set<std::string> before = namesIn(dir.path());

  // A write that fails part way (the file size limit; SIGXFSZ ignored so
  // that the write returns an error) leaves the old picture and the link.
  for (const std::string name : {"old.ppm", "link.ppm"}) {
    SCOPED_TRACE(name);
    const Outcome run =
        runToolAfter("trap '' XFSZ; ulimit -f 16",
                     {"export", "-y", dir.file("big.rgb"), dir.file(name)});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(rgbtest::readFile(target), old);
    EXPECT_EQ(namesIn(dir.path()), before) << "a temporary file was left behind";
  }

  // A complete write through the link replaces the target and keeps the
  // link and the target's mode.
  const Outcome run = runTool({"export", "-y", dir.file("big.rgb"), dir.file("link.ppm")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(rgbtest::readFile(target), ppmBytes(pictureOfFrame(pixels, 0, side, side)));
  struct stat info;
  ASSERT_EQ(lstat(dir.file("link.ppm").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(namesIn(dir.path()), before);

  // A named pipe whose reader goes away mid-picture (SIGPIPE ignored, so
  // the write fails) is still there afterwards.
  const std::string pipe = dir.file("out.fifo");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << "cannot make a named pipe";
  const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  struct sigaction ignore {};
  struct sigaction saved {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &saved);  // inherited by rgbtool
  const int pid = startTool({"export", "--format", "ppm", dir.file("big.rgb"), pipe},
                            dir.file("fifo.out"), dir.file("fifo.err"));
  sigaction(SIGPIPE, &saved, nullptr);
  pollfd ready{reader, POLLIN, 0};
  const bool arrived = poll(&ready, 1, 10000) == 1;
  char some[100];
  EXPECT_TRUE(arrived && read(reader, some, sizeof some) > 0) << "no picture data came";
  close(reader);
  EXPECT_EQ(arrived ? waitFor(pid) : stop(pid), 1);
  ASSERT_EQ(lstat(pipe.c_str(), &info), 0) << "the named pipe was removed";
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(ToolSafety, InterruptedImportAppendsNothing) {
  for (const bool existing : {true, false}) {
    SCOPED_TRACE(existing ? "existing stream" : "new stream");
    rgbtest::TempDir dir;
    const std::string stream = dir.file("s.rgb");
    const Bytes original = oneFrameStream();
    if (existing) rgbtest::writeFile(stream, original);
    HeldImport import(dir, stream, kSide, kSide);
    ASSERT_TRUE(import.hold());
    ASSERT_EQ(kill(import.pid(), SIGINT), 0);
    EXPECT_EQ(import.wait(), 128 + SIGINT);
    if (existing) {
      EXPECT_EQ(rgbtest::readFile(stream), original);
    } else {
      EXPECT_FALSE(exists(stream)) << "an interrupted import left a file";
    }
  }
}

TEST(ToolSafety, InterruptedExportLeavesTheOldPicture) {
  rgbtest::TempDir dir;
  // Large enough that encoding the PNG outlasts the polling below.
  const int side = 2000;
  rgbtest::writeFile(
      dir.file("big.rgb"),
      rgbtest::streamBytes(rgbtest::patternImage(1, side, side, 3), 1, side, side, {0}));
  const Bytes old = {'o', 'l', 'd', '\n'};
  rgbtest::writeFile(dir.file("out.png"), old);
  const std::set<std::string> before = namesIn(dir.path());
  const int pid = startTool({"export", "-y", dir.file("big.rgb"), dir.file("out.png")},
                            dir.file("export.out"), dir.file("export.err"));
  // Signal once the picture is being written, beside its destination.
  const auto deadline = Clock::now() + kPatience;
  bool writing = false;
  while (!writing && Clock::now() < deadline) {
    for (const std::string& name : namesIn(dir.path()))
      writing = writing || name.rfind(".out.png.", 0) == 0;
    siginfo_t ended{};
    if (!writing &&
        (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 ||
         ended.si_pid == pid))
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!writing) {
    stop(pid);
    FAIL() << "no temporary picture beside out.png was seen";
  }
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(waitFor(pid), 128 + SIGTERM);
  EXPECT_EQ(rgbtest::readFile(dir.file("out.png")), old);
  std::set<std::string> after = namesIn(dir.path());
  after.erase("export.out");
  after.erase("export.err");
  EXPECT_EQ(after, before) << "the temporary picture was left behind";
}

TEST(ToolSafety, FailedImportKeepsAConcurrentAppendersFrame) {
  rgbtest::TempDir dir;
  const std::string stream = dir.file("s.rgb");
  const Bytes original = oneFrameStream();
  rgbtest::writeFile(stream, original);
  HeldImport failing(dir, stream, kSide, kSide);
  ASSERT_TRUE(failing.hold());

  const Picture other = patternPicture(kSide, kSide, 12);
  writePpm(dir.file("other.ppm"), other);
  const int appender = startTool(
      {"import", "--start-ms", "5000", "--interval-ms", "1", stream, dir.file("other.ppm")},
      dir.file("other.out"), dir.file("other.err"));
  if (!blockedOnLockOrGone(appender)) {
    stop(appender);
    FAIL() << "the second import neither finished nor waited for the lock";
  }
  failing.cutShort();
  EXPECT_EQ(failing.wait(), 1);
  EXPECT_EQ(waitPatiently(appender), 0);
  Bytes expected = original;
  rgbtest::append(expected, frameOf(other, 5000));
  EXPECT_EQ(rgbtest::readFile(stream), expected);
}

TEST(ToolSafety, ClosedStandardDescriptorsStayOutOfFiles) {
  rgbtest::TempDir dir;
  const Picture good = patternPicture(5, 4, 2);
  writePpm(dir.file("good.ppm"), good);
  rgbtest::writeFile(dir.file("short.ppm"),
                     {'P', '6', '\n', '5', ' ', '4', '\n', '2', '5', '5', '\n', 1, 2, 3});
  const std::string err = dir.file("err.bin");

  // stdout closed: the stream, opened next, must not become stdout.
  Outcome run = runToolAfter("exec >&- 2>" + err, {"import", "--start-ms", "20", "--interval-ms",
                                                   "1", dir.file("new.rgb"), dir.file("good.ppm")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(rgbtest::readFile(dir.file("new.rgb")), frameOf(good, 20));
  const Bytes said = rgbtest::readFile(err);
  EXPECT_EQ(std::string(said.begin(), said.end()),
            "rgbtool: " + dir.file("new.rgb") + ": 0 frames before, 1 now\n");

  // stderr closed: the failure message must not land in the stream.
  const Bytes stream = rgbtest::readFile(dir.file("new.rgb"));
  run = runToolAfter("exec 2>&-",
                     {"import", dir.file("new.rgb"), dir.file("good.ppm"), dir.file("short.ppm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(rgbtest::readFile(dir.file("new.rgb")), stream);

  // stdout closed while reading: the stream is read, not the void, and
  // the report that cannot arrive fails the run.
  run = runToolAfter("exec >&-", {"info", dir.file("new.rgb")});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "rgbtool: standard output is closed\n");
}

TEST(ToolSafety, SeekableStandardInputStartsWhereItStands) {
  rgbtest::TempDir dir;
  const Bytes pixels = rgbtest::patternImage(3, 4, 3, 6);
  const std::string stream = dir.file("d.rgb");
  rgbtest::writeFile(stream, rgbtest::streamBytes(pixels, 3, 4, 3, {100, 110, 125}));
  // dd consumes exactly the first frame (512 + 4 * 3 * 3 bytes) of the
  // shared standard input before rgbtool starts.
  const std::string skipFrame = "dd bs=548 count=1 of=/dev/null 2>/dev/null";
  RunOptions fromStream;
  fromStream.stdinFile = stream;

  Outcome run = runToolAfter(skipFrame, {"check", "-"}, fromStream);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "-: ok, 2 frames of 4 x 3 RGB\n");

  run = runToolAfter(skipFrame, {"info", "--frames", "-"}, fromStream);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(has(run.out, "  frame 0: stamp 110 ms\n  frame 1: stamp 125 ms, interval 15 ms\n"))
      << run.out;
  EXPECT_FALSE(has(run.out, "frame 2")) << run.out;

  for (const int frame : {0, 1}) {
    SCOPED_TRACE(frame);
    const std::string out = dir.file("f" + std::to_string(frame) + ".ppm");
    run =
        runToolAfter(skipFrame, {"export", "--frame", std::to_string(frame), "-", out}, fromStream);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rgbtest::readFile(out), ppmBytes(pictureOfFrame(pixels, frame + 1, 4, 3)));
  }
  run = runToolAfter(skipFrame, {"export", "--frame", "2", "-", dir.file("f2.ppm")}, fromStream);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.err, "has only 2 frames")) << run.err;
}

// Meaningful in the sanitizer build, where LeakSanitizer fails the run.
TEST(ToolSafety, CorruptPngIsRefusedWithoutLeaking) {
  rgbtest::TempDir dir;
  const std::string whole = dir.file("tall.png");
  // Many rows, so that the row table libpng is handed is large.
  writePpm(dir.file("tall.ppm"), patternPicture(3, 65535, 8));
  RunOptions toPng;
  toPng.stdoutFile = whole;
  const Outcome made = runProgram({"pnmtopng", dir.file("tall.ppm")}, toPng);
  ASSERT_EQ(made.status, 0) << "netpbm's pnmtopng is needed: " << made.err;
  Bytes png = rgbtest::readFile(whole);
  ASSERT_GT(png.size(), 200u);
  png.resize(png.size() / 2);  // the pixel data ends half way
  rgbtest::writeFile(dir.file("cut.png"), png);

  const Outcome run = runTool({"import", dir.file("s.rgb"), dir.file("cut.png")});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(has(run.err, "cut.png: PNG: ")) << run.err;
  EXPECT_FALSE(has(run.err, "LeakSanitizer")) << run.err;
}

TEST(ToolSafety, SixteenBitPngAndPpmImportAlike) {
  rgbtest::TempDir dir;
  // Samples where dropping the low byte and rounding to the nearest 8-bit
  // value disagree, and some where they agree; value / 257 rounded.
  const std::vector<unsigned> samples = {0x00FF, 0x0080, 0x0081, 0x7F7F, 0x80FF, 0x8181,
                                         0xFF00, 0xFFFF, 0x0000, 0x1234, 0x12FF, 0xFE80};
  const Bytes nearest = {1, 0, 1, 127, 128, 129, 254, 255, 0, 18, 19, 254};
  const std::string header = "P6\n4 1\n65535\n";
  Bytes ppm(header.begin(), header.end());
  for (const unsigned s : samples) {
    ppm.push_back(static_cast<unsigned char>(s >> 8));
    ppm.push_back(static_cast<unsigned char>(s & 0xFF));
  }
  rgbtest::writeFile(dir.file("deep.ppm"), ppm);
  RunOptions toPng;
  toPng.stdoutFile = dir.file("deep.png");
  const Outcome made = runProgram({"pnmtopng", dir.file("deep.ppm")}, toPng);
  ASSERT_EQ(made.status, 0) << "netpbm's pnmtopng is needed: " << made.err;
  const Bytes png = rgbtest::readFile(dir.file("deep.png"));
  ASSERT_GT(png.size(), 25u);
  ASSERT_EQ(png[24], 16) << "pnmtopng did not keep 16-bit samples";  // IHDR bit depth

  const Bytes expected = rgbtest::streamBytes(nearest, 1, 4, 1, {0});
  for (const std::string name : {"deep.ppm", "deep.png"}) {
    SCOPED_TRACE(name);
    const std::string stream = dir.file(name + ".rgb");
    const Outcome run =
        runTool({"import", "--start-ms", "0", "--interval-ms", "0", stream, dir.file(name)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(rgbtest::readFile(stream), expected);
  }
}

TEST(ToolSafety, FailedImportIntoANewPathCreatesNothing) {
  rgbtest::TempDir dir;
  writePpm(dir.file("good.ppm"), patternPicture(5, 4, 3));
  // The header promises more pixels than follow.
  rgbtest::writeFile(dir.file("short.ppm"),
                     {'P', '6', '\n', '5', ' ', '4', '\n', '2', '5', '5', '\n', 1, 2, 3});
  for (const std::vector<std::string>& pictures :
       {std::vector<std::string>{"short.ppm"}, std::vector<std::string>{"good.ppm", "short.ppm"}}) {
    SCOPED_TRACE(pictures.size());
    std::vector<std::string> args{"import", dir.file("new.rgb")};
    for (const std::string& p : pictures) args.push_back(dir.file(p));
    const Outcome run = runTool(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "new.rgb: nothing appended")) << run.err;
    EXPECT_FALSE(exists(dir.file("new.rgb")));
  }
}

}  // namespace
}  // namespace rgbtooltest
