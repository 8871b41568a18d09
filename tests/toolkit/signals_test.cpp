// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// toolkit::signals with real signals in forked children: what a stop
// signal undoes, a signal the caller ignores, writes past the file-size
// limit, and the finish mode for live inputs (also when the signal lands
// on another thread than the reading one).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "tests/hardening/child.h"
#include "tests/hardening/fifo.h"
#include "tests/toolkit/layer_support.h"
#include "toolkit/frame_source.h"
#include "toolkit/output.h"
#include "toolkit/signals.h"
#include "toolkit/stream_append.h"
#include "toolkit/write_all.h"

namespace {

using layertest::Bytes;
using layertest::Handshake;
using layertest::namesIn;
using layertest::pixels;
using layertest::stream;
using rgbtest::TempDir;

constexpr int kWidth = 4;
constexpr int kHeight = 3;
constexpr int kPatienceMs = 20000;
constexpr int kSignalBase = 128;
const std::string kOld = "old picture";

// A directory with a picture and a stream that a run is about to change.
struct Scene {
  TempDir dir;
  Bytes stream = layertest::stream(kWidth, kHeight, {100, 140, 180});
  Scene() {
    rgbtest::writeFile(dir.file("old.png"), Bytes(kOld.begin(), kOld.end()));
    rgbtest::writeFile(dir.file("s.rgb"), stream);
  }
  std::set<std::string> names() const { return namesIn(dir.path()); }
};

bool writePicture(toolkit::Output& out, const std::string& path, std::size_t bytes) {
  toolkit::OutputRules rules;
  rules.overwrite = true;
  const Bytes data(bytes, 0x5a);
  return out.open(path, rules) && toolkit::writeAll(out.fd(), data.data(), data.size());
}

bool appendFrame(toolkit::StreamAppender& appender, const std::string& path) {
  const Bytes frame = pixels(1, kWidth, kHeight);
  return appender.open(path, kWidth, kHeight) && appender.append(frame.data(), 7);
}

// A picture half written and a frame appended (to the stream, or to one
// the run creates) when the signal comes.
TEST(Signals, StopSignalsRollBackAndExitWith128PlusTheSignal) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const std::string target : {"s.rgb", "new.rgb"}) {
      SCOPED_TRACE(std::to_string(signal) + " " + target);
      Scene scene;
      const std::set<std::string> before = scene.names();
      Handshake ready;
      hardening::Child child([&] {
        toolkit::signals::install();
        toolkit::Output out;
        toolkit::StreamAppender appender;
        if (!writePicture(out, scene.dir.file("old.png"), 1000) ||
            !appendFrame(appender, scene.dir.file(target)))
          return 3;
        ready.signal();
        for (;;) pause();
      });
      ASSERT_TRUE(ready.await(kPatienceMs));
      EXPECT_EQ(scene.names().size(), before.size() + (target == "new.rgb" ? 2 : 1));
      kill(child.pid(), signal);
      const hardening::Ended ended = child.wait();
      EXPECT_TRUE(ended.exited);
      EXPECT_EQ(ended.status, kSignalBase + signal);
      EXPECT_EQ(scene.names(), before);
      EXPECT_EQ(rgbtest::readFile(scene.dir.file("s.rgb")), scene.stream);
      EXPECT_EQ(rgbtest::readFile(scene.dir.file("old.png")), Bytes(kOld.begin(), kOld.end()));
    }
  }
}

TEST(Signals, ASignalTheCallerIgnoresStaysIgnored) {
  Scene scene;
  const hardening::Ended ended = hardening::runInChild([&] {
    signal(SIGHUP, SIG_IGN);
    toolkit::signals::install();
    toolkit::Output out;
    if (!writePicture(out, scene.dir.file("old.png"), 1000)) return 3;
    raise(SIGHUP);
    return out.commit() ? 0 : 4;
  });
  EXPECT_TRUE(ended.exited);
  EXPECT_EQ(ended.status, 0);
  EXPECT_EQ(rgbtest::readFile(scene.dir.file("old.png")), Bytes(1000, 0x5a));
}

// Under `ulimit -f` a write past the limit fails (EFBIG) instead of ending
// the process, and the normal failure path undoes it.
struct LimitedRun {
  const char* name;
  bool (*run)(const Scene& scene, std::string& error);
};

const LimitedRun kLimitedRuns[] = {
    {"a picture in one write",
     [](const Scene& scene, std::string& error) {
       toolkit::Output out;
       if (!writePicture(out, scene.dir.file("old.png"), 200000)) {
         error = std::strerror(errno);
         return false;
       }
       return out.commit();
     }},
    {"a video in many small writes",
     [](const Scene& scene, std::string& error) {
       toolkit::Output out;
       if (!writePicture(out, scene.dir.file("old.png"), 1)) return false;
       const Bytes chunk(4096, 1);
       for (int i = 0; i < 100; ++i)
         if (!toolkit::writeAll(out.fd(), chunk.data(), chunk.size())) {
           error = std::strerror(errno);
           return false;
         }
       return out.commit();
     }},
    {"frames appended to a stream",
     [](const Scene& scene, std::string& error) {
       toolkit::StreamAppender appender;
       const Bytes frames = pixels(4, kWidth, kHeight);
       if (!appender.open(scene.dir.file("s.rgb"), kWidth, kHeight)) return false;
       for (int i = 0; i < 4; ++i)
         if (!appender.append(frames.data() + i * kWidth * kHeight * 3, i)) {
           error = appender.error();
           return false;
         }
       return appender.commit();
     }},
};

TEST(Signals, WritesPastTheFileSizeLimitFailAndAreUndone) {
  for (const LimitedRun& limited : kLimitedRuns) {
    SCOPED_TRACE(limited.name);
    Scene scene;
    const std::set<std::string> before = scene.names();
    const hardening::Ended ended = hardening::runInChild([&] {
      // Room for the stream and one more frame, not for two.
      const rlim_t limit = scene.stream.size() + 700;
      const rlimit cap{limit, limit};
      if (setrlimit(RLIMIT_FSIZE, &cap) != 0) return 3;
      toolkit::signals::install();
      std::string error;
      if (limited.run(scene, error)) return 4;
      std::fprintf(stderr, "%s", error.c_str());
      return 0;
    });
    EXPECT_TRUE(ended.exited) << "ended by signal " << ended.status;
    EXPECT_EQ(ended.status, 0);
    EXPECT_NE(ended.err.find("File too large"), std::string::npos) << ended.err;
    EXPECT_EQ(scene.names(), before);
    EXPECT_EQ(rgbtest::readFile(scene.dir.file("s.rgb")), scene.stream);
    EXPECT_EQ(rgbtest::readFile(scene.dir.file("old.png")), Bytes(kOld.begin(), kOld.end()));
  }
}

// Finish mode: a child reads a FIFO whose producer sent one frame and went
// quiet. The first SIGINT ends the blocked read ("stopped"), a second one,
// while a picture is half written, rolls back. `elsewhere`: the first
// signal lands on another thread, which must wake the reading one.
TEST(Signals, FinishModeStopsABlockedReadThenRollsBack) {
  for (const bool elsewhere : {false, true}) {
    SCOPED_TRACE(elsewhere ? "signal on another thread" : "signal on the reader");
    Scene scene;
    const std::string fifo = scene.dir.file("live");
    hardening::makeFifo(fifo);
    const std::set<std::string> before = scene.names();
    Handshake ready;
    Handshake go;
    hardening::Child child([&] {
      toolkit::signals::install();
      toolkit::signals::finishOn({SIGINT});
      std::thread helper;
      if (elsewhere)
        helper = std::thread([&] {
          if (go.await(kPatienceMs)) raise(SIGINT);  // raise: this thread only
        });
      toolkit::FrameSource source;
      toolkit::Frame frame;
      if (!source.open(fifo) || source.next(frame) != toolkit::FrameSource::Read::Frame) return 3;
      ready.signal();
      const toolkit::FrameSource::Read stopped = source.next(frame);
      if (helper.joinable()) helper.join();
      if (stopped != toolkit::FrameSource::Read::Stopped || !toolkit::signals::finishRequested())
        return 4;
      toolkit::Output out;
      if (!writePicture(out, scene.dir.file("old.png"), 1000)) return 5;
      ready.signal();
      for (;;) pause();
    });
    const int producer = hardening::openFifoWriter(fifo);
    const Bytes frame = stream(kWidth, kHeight, {40});
    hardening::writeAll(producer, frame.data(), frame.size());
    ASSERT_TRUE(ready.await(kPatienceMs));
    if (elsewhere) {
      go.signal();
    } else {
      kill(child.pid(), SIGINT);
    }
    ASSERT_TRUE(ready.await(kPatienceMs)) << "the read was not stopped";
    kill(child.pid(), SIGINT);
    const hardening::Ended ended = child.wait();
    close(producer);
    EXPECT_TRUE(ended.exited);
    EXPECT_EQ(ended.status, kSignalBase + SIGINT);
    EXPECT_EQ(scene.names(), before);
    EXPECT_EQ(rgbtest::readFile(scene.dir.file("old.png")), Bytes(kOld.begin(), kOld.end()));
  }
}

}  // namespace
