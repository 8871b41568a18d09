// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// toolkit::Output on real files: one table of output situations (new and
// existing names, the inputs reached by every kind of link, long names,
// directories), then the cases that need a second party: a name taken
// meanwhile, a FIFO's reader, standard output, and an appender's lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tests/hardening/child.h"
#include "tests/hardening/fifo.h"
#include "tests/toolkit/layer_support.h"
#include "toolkit/output.h"
#include "toolkit/standard_streams.h"
#include "toolkit/write_all.h"

namespace {

using layertest::namesIn;
using rgbtest::Bytes;
using rgbtest::TempDir;

const std::string kOld = "old picture";
const std::string kInput = "input stream";
const std::string kData = "the new data";
constexpr mode_t kKeptMode = 0640;

std::string text(const std::string& path) {
  const Bytes bytes = rgbtest::readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

void put(const std::string& path, const std::string& content) {
  rgbtest::writeFile(path, Bytes(content.begin(), content.end()));
}

bool isLink(const std::string& path) {
  struct stat file;
  return lstat(path.c_str(), &file) == 0 && S_ISLNK(file.st_mode);
}

// A directory holding the input "in.rgb" and a picture "old.png".
struct Scene {
  TempDir dir;
  Scene() {
    put(dir.file("in.rgb"), kInput);
    put(dir.file("old.png"), kOld);
    chmod(dir.file("old.png").c_str(), kKeptMode);
  }
  toolkit::OutputRules rules(bool overwrite) const {
    toolkit::OutputRules rules;
    rules.overwrite = overwrite;
    rules.inputs = {dir.file("in.rgb")};
    return rules;
  }
};

struct Situation {
  const char* name;
  // Makes what the situation needs and returns the output's path.
  std::function<std::string(Scene&)> prepare;
  bool overwrite;
  const char* refusal;  // part of the error; nullptr: written
  // The file that must hold the data afterwards (when written).
  std::function<std::string(Scene&)> holder;
};

std::string named(Scene& scene, const std::string& name) { return scene.dir.file(name); }

const Situation kSituations[] = {
    {"a new name", [](Scene& s) { return named(s, "new.png"); }, false, nullptr,
     [](Scene& s) { return named(s, "new.png"); }},
    {"an existing picture without overwrite", [](Scene& s) { return named(s, "old.png"); }, false,
     "exists; not replaced (-y or --overwrite replaces it)", nullptr},
    {"an existing picture with overwrite", [](Scene& s) { return named(s, "old.png"); }, true,
     nullptr, [](Scene& s) { return named(s, "old.png"); }},
    {"the input itself", [](Scene& s) { return named(s, "in.rgb"); }, true,
     "is the same file as the input", nullptr},
    {"a hard link to the input",
     [](Scene& s) {
       link(named(s, "in.rgb").c_str(), named(s, "hard.png").c_str());
       return named(s, "hard.png");
     },
     true, "is the same file as the input", nullptr},
    {"a symbolic link to the input",
     [](Scene& s) {
       symlink("in.rgb", named(s, "soft.png").c_str());
       return named(s, "soft.png");
     },
     true, "is the same file as the input", nullptr},
    {"a link to another picture",
     [](Scene& s) {
       symlink("old.png", named(s, "soft.png").c_str());
       return named(s, "soft.png");
     },
     true, nullptr, [](Scene& s) { return named(s, "old.png"); }},
    {"a dangling link",
     [](Scene& s) {
       symlink("made.png", named(s, "soft.png").c_str());
       return named(s, "soft.png");
     },
     false, nullptr, [](Scene& s) { return named(s, "made.png"); }},
    {"a name of 255 bytes", [](Scene& s) { return named(s, std::string(251, 'n') + ".png"); },
     false, nullptr, [](Scene& s) { return named(s, std::string(251, 'n') + ".png"); }},
    {"a name of 248 bytes", [](Scene& s) { return named(s, std::string(244, 'n') + ".png"); },
     false, nullptr, [](Scene& s) { return named(s, std::string(244, 'n') + ".png"); }},
    {"a long name cut inside a UTF-8 character",
     [](Scene& s) {
       std::string name;
       while (name.size() < 250) name += "\xc3\xa9";  // é
       return named(s, name + ".png");
     },
     false, nullptr,
     [](Scene& s) {
       std::string name;
       while (name.size() < 250) name += "\xc3\xa9";
       return named(s, name + ".png");
     }},
    {"a directory",
     [](Scene& s) {
       mkdir(named(s, "sub").c_str(), 0700);
       return named(s, "sub");
     },
     true, "Is a directory", nullptr},
    {"a name in a missing directory", [](Scene& s) { return named(s, "none/new.png"); }, false,
     "No such file or directory", nullptr},
};

TEST(Output, EachSituationIsWrittenOrRefusedLeavingNoTemporary) {
  for (const Situation& situation : kSituations) {
    SCOPED_TRACE(situation.name);
    Scene scene;
    const std::string path = situation.prepare(scene);
    const std::set<std::string> before = namesIn(scene.dir.path());
    toolkit::Output out;
    const bool opened = out.open(path, scene.rules(situation.overwrite));
    const bool written =
        opened && toolkit::writeAll(out.fd(), kData.data(), kData.size()) && out.commit();
    EXPECT_EQ(text(scene.dir.file("in.rgb")), kInput);
    if (situation.refusal) {
      EXPECT_FALSE(opened);
      EXPECT_NE(out.error().find(situation.refusal), std::string::npos) << out.error();
      // Refused before anything was made: the directory is as it was.
      EXPECT_EQ(namesIn(scene.dir.path()), before);
      EXPECT_EQ(text(scene.dir.file("old.png")), kOld);
      continue;
    }
    ASSERT_TRUE(written) << out.error();
    const std::string holder = situation.holder(scene);
    EXPECT_EQ(text(holder), kData);
    for (const std::string& name : namesIn(scene.dir.path()))
      EXPECT_NE(name[0], '.') << "a temporary was left: " << name;
    if (holder == scene.dir.file("old.png")) {
      struct stat file;
      ASSERT_EQ(stat(holder.c_str(), &file), 0);
      EXPECT_EQ(file.st_mode & 07777, kKeptMode);
    }
    if (path != holder) {
      EXPECT_TRUE(isLink(path)) << "the link itself was replaced";
    }
  }
}

TEST(Output, WithoutCommitTheOldFileStaysAndTheTemporaryGoes) {
  Scene scene;
  const std::set<std::string> before = namesIn(scene.dir.path());
  {
    toolkit::Output out;
    ASSERT_TRUE(out.open(scene.dir.file("old.png"), scene.rules(true))) << out.error();
    ASSERT_TRUE(toolkit::writeAll(out.fd(), kData.data(), kData.size()));
    EXPECT_EQ(namesIn(scene.dir.path()).size(), before.size() + 1) << "no temporary beside it";
  }
  EXPECT_EQ(namesIn(scene.dir.path()), before);
  EXPECT_EQ(text(scene.dir.file("old.png")), kOld);
}

TEST(Output, ANameTakenWhileWritingIsNotReplacedWithoutOverwrite) {
  Scene scene;
  toolkit::Output out;
  ASSERT_TRUE(out.open(scene.dir.file("new.png"), scene.rules(false))) << out.error();
  ASSERT_TRUE(toolkit::writeAll(out.fd(), kData.data(), kData.size()));
  put(scene.dir.file("new.png"), "someone else's");
  EXPECT_FALSE(out.commit());
  EXPECT_EQ(out.error(), "exists; not replaced (-y or --overwrite replaces it)");
  EXPECT_EQ(text(scene.dir.file("new.png")), "someone else's");
  EXPECT_EQ(namesIn(scene.dir.path()),
            (std::set<std::string>{"in.rgb", "new.png", "old.png"}));
}

TEST(Output, AFifoIsWrittenWhereItIs) {
  Scene scene;
  const std::string fifo = scene.dir.file("out.fifo");
  hardening::makeFifo(fifo);
  std::string received;
  std::thread reader([&] {
    const int fd = open(fifo.c_str(), O_RDONLY);
    char block[64];
    for (ssize_t n; (n = read(fd, block, sizeof block)) > 0;)
      received.append(block, static_cast<std::size_t>(n));
    close(fd);
  });
  toolkit::Output out;
  const bool opened = out.open(fifo, scene.rules(false));
  const bool written = opened && out.direct() &&
                       toolkit::writeAll(out.fd(), kData.data(), kData.size()) && out.commit();
  if (!opened) close(hardening::openFifoWriter(fifo));  // lets the reader end
  reader.join();
  ASSERT_TRUE(written) << out.error();
  EXPECT_EQ(received, kData);
  EXPECT_EQ(namesIn(scene.dir.path()), (std::set<std::string>{"in.rgb", "old.png", "out.fifo"}));
}

// Standard output as a child process's: the input itself, closed, or a
// file of its own.
TEST(Output, StandardOutputIsRefusedWhenItIsTheInputOrClosed) {
  Scene scene;
  const std::string input = scene.dir.file("in.rgb");
  const toolkit::OutputRules rules = scene.rules(true);

  const hardening::Ended ontoInput = hardening::runInChild([&] {
    const int fd = open(input.c_str(), O_RDWR | O_APPEND);
    dup2(fd, STDOUT_FILENO);
    toolkit::Output out;
    if (out.open("-", rules)) return 3;
    std::fprintf(stderr, "%s", out.error().c_str());
    return 0;
  });
  EXPECT_EQ(ontoInput.status, 0);
  EXPECT_NE(ontoInput.err.find("is the same file as the input"), std::string::npos)
      << ontoInput.err;
  EXPECT_EQ(text(input), kInput);

  const hardening::Ended closed = hardening::runInChild([&] {
    close(STDOUT_FILENO);
    if (!toolkit::guardStandardStreams()) return 4;
    toolkit::Output out;
    if (out.open("-", rules)) return 3;
    std::fprintf(stderr, "%s", out.error().c_str());
    return 0;
  });
  EXPECT_EQ(closed.status, 0);
  EXPECT_EQ(closed.err, "standard output is closed");

  const hardening::Ended written = hardening::runInChild([&] {
    toolkit::Output out;
    if (!out.open("-", rules) || !toolkit::writeAll(out.fd(), kData.data(), kData.size()))
      return 3;
    return out.commit() && out.direct() ? 0 : 5;
  });
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(written.out, kData);
}

// An appender holds the old file's lock: the rename waits for it, so the
// appender's frames are never written into a file no name leads to.
TEST(Output, ReplacingWaitsForTheOldFilesLock) {
  Scene scene;
  const std::string old = scene.dir.file("old.png");
  const int appender = open(old.c_str(), O_WRONLY | O_APPEND);
  ASSERT_EQ(flock(appender, LOCK_EX), 0);
  std::atomic<bool> done{false};
  bool committed = false;
  std::thread replacer([&] {
    toolkit::Output out;
    committed = out.open(old, scene.rules(true)) &&
                toolkit::writeAll(out.fd(), kData.data(), kData.size()) && out.commit();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(done) << "renamed while the old file was locked";
  const std::string appended = " + appended";
  EXPECT_EQ(write(appender, appended.data(), appended.size()),
            static_cast<ssize_t>(appended.size()));
  EXPECT_EQ(text(old), kOld + appended);
  flock(appender, LOCK_UN);
  replacer.join();
  close(appender);
  EXPECT_TRUE(committed);
  EXPECT_EQ(text(old), kData);
}

TEST(Output, TextGoesToStderrWhenTheDataTakesStdout) {
  TempDir dir;
  EXPECT_TRUE(toolkit::namesStdout("-"));
  EXPECT_EQ(toolkit::textStream("-"), stderr);
  EXPECT_FALSE(toolkit::namesStdout(dir.file("plot.png")));
  EXPECT_EQ(toolkit::textStream(dir.file("plot.png")), stdout);
  // Another name of the file standard output is.
  const hardening::Ended child = hardening::runInChild([&] {
    return toolkit::namesStdout("/dev/stdout") ? 0 : 1;
  });
  EXPECT_EQ(child.status, 0);
}

}  // namespace
