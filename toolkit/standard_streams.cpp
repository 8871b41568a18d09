// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace toolkit {
namespace {

bool closedAtStart[STDERR_FILENO + 1] = {false, false, false};

bool isOpen(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

// Opens something that keeps `fd` taken but fails every use in the
// direction the stream is meant for.
bool occupy(int fd) {
  const int direction = fd == STDIN_FILENO ? O_WRONLY : O_RDONLY;
  int opened = open("/dev/null", direction);
  // Without /dev/null (a bare chroot) the root directory holds the place:
  // neither reads nor writes of a directory descriptor succeed.
  if (opened < 0) opened = open("/", O_RDONLY | O_DIRECTORY);
  if (opened < 0) return false;
  if (opened == fd) return true;
  const bool moved = dup2(opened, fd) == fd;
  close(opened);
  return moved;
}

}  // namespace

bool guardStandardStreams() {
  // In ascending order: open() takes the lowest free number, so an earlier
  // closed descriptor is filled before a later one.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (isOpen(fd)) continue;
    closedAtStart[fd] = true;
    if (!occupy(fd)) return false;
  }
  return true;
}

bool stdinClosed() { return closedAtStart[STDIN_FILENO]; }

bool stdoutClosed() { return closedAtStart[STDOUT_FILENO]; }

bool finishStdout(std::string& error) {
  const bool flushed = std::fflush(stdout) == 0;
  const int reason = errno;
  if (flushed && !std::ferror(stdout)) return true;
  // An earlier write failed when the flush itself succeeded; its reason is
  // gone by now.
  error = stdoutClosed() ? std::string("standard output is closed")
          : flushed      ? std::string("cannot write to standard output")
                         : std::string("cannot write to standard output: ") + std::strerror(reason);
  return false;
}

}  // namespace toolkit
