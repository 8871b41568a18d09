// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/hardening/child.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <thread>

namespace hardening {
namespace {

// An unlinked temporary file: written by the child, read by the parent.
int scratchFile() {
  char name[] = "/tmp/rgb-hardening-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("cannot create a scratch file");
  unlink(name);
  return fd;
}

std::string contents(int fd) {
  std::string text;
  char block[4096];
  for (ssize_t n; (n = pread(fd, block, sizeof block, static_cast<off_t>(text.size()))) > 0;)
    text.append(block, static_cast<std::size_t>(n));
  return text;
}

}  // namespace

Child::Child(const std::function<int()>& body) : outFd_(scratchFile()), errFd_(scratchFile()) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(outFd_, STDOUT_FILENO);
    dup2(errFd_, STDERR_FILENO);
    int status = 125;
    try {
      status = body();
    } catch (...) {
      std::fprintf(stderr, "child: uncaught exception\n");
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // No exit handlers: they belong to the parent's test framework.
    _exit(status);
  }
}

Child::~Child() {
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(outFd_);
  close(errFd_);
}

bool Child::running() {
  if (reaped_) return false;
  if (waitpid(pid_, &rawStatus_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

Ended Child::wait(Millis deadline) {
  Ended ended;
  const auto until = std::chrono::steady_clock::now() + deadline;
  while (running()) {
    if (std::chrono::steady_clock::now() >= until) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &rawStatus_, 0);
      reaped_ = true;
      ended.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(Millis(5));
  }
  ended.exited = WIFEXITED(rawStatus_);
  ended.status = ended.exited ? WEXITSTATUS(rawStatus_) : WTERMSIG(rawStatus_);
  ended.out = contents(outFd_);
  ended.err = contents(errFd_);
  return ended;
}

Ended runInChild(const std::function<int()>& body, Millis deadline) {
  Child child(body);
  return child.wait(deadline);
}

}  // namespace hardening
