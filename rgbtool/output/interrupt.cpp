// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/output/interrupt.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace rgbtool {
namespace interrupt {
namespace {

constexpr int kSignalBase = 128;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<off_t>::is_always_lock_free, "the handler reads offsets");
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads descriptors");

// Paths are copied into fixed buffers while the signals are blocked, so the
// handler never sees half of one.
char temporary[PATH_MAX];
char created[PATH_MAX];
std::atomic<int> appendFd{-1};
std::atomic<off_t> appendStart{0};
std::atomic<off_t> windowLow{0};
std::atomic<off_t> windowHigh{0};

void onSignal(int signal) {
  if (temporary[0] != '\0') unlink(temporary);
  const int fd = appendFd.load();
  if (fd >= 0) {
    struct stat info;
    const off_t start = appendStart.load();
    if (fstat(fd, &info) == 0 && info.st_size >= windowLow.load() &&
        info.st_size <= windowHigh.load()) {
      struct stat named;
      const bool ours = created[0] != '\0' && start == 0 && stat(created, &named) == 0 &&
                        named.st_dev == info.st_dev && named.st_ino == info.st_ino;
      if (!ours || unlink(created) != 0) (void)!ftruncate(fd, start);
    }
  }
  _exit(kSignalBase + signal);
}

void copyPath(char* to, const std::string& path) {
  if (path.size() >= PATH_MAX) {
    to[0] = '\0';
    return;
  }
  std::memcpy(to, path.c_str(), path.size() + 1);
}

}  // namespace

Deferred::Deferred() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : kSignals) sigaddset(&set, s);
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

Deferred::~Deferred() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

void install() {
  for (const int s : kSignals) {
    struct sigaction old;
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigfillset(&action.sa_mask);
    sigaction(s, &action, nullptr);
  }
}

void setTemporary(const std::string& path) {
  Deferred blocked;
  copyPath(temporary, path);
}

void setAppend(int fd, off_t start, const std::string& createdPath) {
  Deferred blocked;
  copyPath(created, createdPath);
  appendStart.store(start);
  windowLow.store(start);
  windowHigh.store(start);
  appendFd.store(fd);
}

void setAppendWindow(off_t low, off_t high) {
  // Widen before narrowing, so that the window always covers the size.
  if (high > windowHigh.load()) {
    windowHigh.store(high);
    windowLow.store(low);
  } else {
    windowLow.store(low);
    windowHigh.store(high);
  }
}

void clearAppend() {
  Deferred blocked;
  appendFd.store(-1);
  created[0] = '\0';
}

}  // namespace interrupt
}  // namespace rgbtool
