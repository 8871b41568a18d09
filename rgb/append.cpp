// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/append.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace rgb {
namespace {

// A regular file's size; -1 for anything else, where there is nothing to
// cut back (a pipe, a device).
off_t regularSize(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return status.st_size;
}

}  // namespace

LockedAppend::LockedAppend(int fd) : fd_(fcntl(fd, F_DUPFD_CLOEXEC, 0)) {
  if (fd_ < 0) return;
  // Without a lock (a file system that has none) the append still goes
  // ahead: the lock only orders appenders that use it.
  while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
  start_ = regularSize(fd_);
}

LockedAppend::~LockedAppend() {
  if (fd_ < 0) return;
  const int saved = errno;
  flock(fd_, LOCK_UN);
  close(fd_);
  errno = saved;
}

void LockedAppend::undo(uint64_t written) {
  if (fd_ < 0 || start_ < 0) return;
  const off_t size = regularSize(fd_);
  if (size > start_ && static_cast<uint64_t>(size - start_) <= written) {
    // The append has already failed; a failed cut adds nothing to report.
    const int saved = errno;
    if (ftruncate(fd_, start_) != 0) {
    }
    errno = saved;
  }
}

}  // namespace rgb
