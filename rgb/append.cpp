// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/append.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "rgb/rgb.h"

namespace rgb {
namespace {

constexpr int kAppendFlags = O_APPEND | O_CREAT | O_CLOEXEC;
constexpr mode_t kNewFileMode = 0666;  // less the umask
// A replacer that renames a new file over the name takes the lock on the
// old one around the rename, so an appender sees each replacement at most
// once per lock it takes; only a name replaced again and again while the
// appender waits gets this far.
constexpr int kLockAttempts = 100;

// A regular file's size; -1 for anything else, where there is nothing to
// cut back (a pipe, a device).
off_t regularSize(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return status.st_size;
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether path still leads to the file open at fd. A name that leads
// nowhere any more does not: opening it makes a file that one does.
bool namesOpenFile(const char* path, int fd) {
  struct stat named {};
  struct stat open {};
  if (fstat(fd, &open) != 0) return true;  // nothing to compare: keep what is open
  return stat(path, &named) == 0 && sameFile(named, open);
}

// The regular file at fd opened again by path for reading and appending,
// when path still leads to it and the caller may read it; -1 otherwise.
int readableAgain(const char* path, int fd) {
  const int again = open(path, O_RDWR | O_APPEND | O_CLOEXEC);
  if (again < 0) return -1;
  struct stat first {};
  struct stat second {};
  if (fstat(fd, &first) == 0 && fstat(again, &second) == 0 && sameFile(first, second)) return again;
  close(again);
  return -1;
}

}  // namespace

int openForAppend(const char* path) {
  const int fd = open(path, O_WRONLY | kAppendFlags, kNewFileMode);
  if (fd < 0 || regularSize(fd) < 0) return fd;
  const int readable = readableAgain(path, fd);
  if (readable < 0) return fd;
  close(fd);
  return readable;
}

LockedAppend::~LockedAppend() { release(); }

void LockedAppend::release() {
  if (fd_ < 0) return;
  const int saved = errno;
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
  start_ = -1;
  errno = saved;
}

int LockedAppend::lock(int* fd, const char* path) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    release();
    fd_ = fcntl(*fd, F_DUPFD_CLOEXEC, 0);
    if (fd_ < 0) return RGB_EIO;
    // Without a lock (a file system that has none) the append still goes
    // ahead: the lock only orders appenders that use it.
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
    if (!path || namesOpenFile(path, fd_)) {
      start_ = regularSize(fd_);
      return RGB_OK;
    }
    const int reopened = openForAppend(path);
    if (reopened < 0) {
      release();
      return RGB_EOPEN;
    }
    close(*fd);
    *fd = reopened;
  }
  release();
  errno = EAGAIN;
  return RGB_EIO;
}

bool LockedAppend::cutTo(off_t size) {
  if (fd_ < 0 || start_ < 0 || size > start_) return true;
  if (ftruncate(fd_, size) != 0) return false;
  start_ = size;
  return true;
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
