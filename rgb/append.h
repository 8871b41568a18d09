// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Appends to a file as one unit: under an exclusive advisory lock, so that
// appenders using this library never interleave, to the file the path names
// once the lock is held (not one renamed away meanwhile), and undone when
// they fail.
#ifndef RGB_APPEND_H
#define RGB_APPEND_H

#include <sys/types.h>

#include <cstdint>

namespace rgb {

// Opens path for appending, creating it (0666 less the umask), as a stream
// writer would. A regular file is opened for reading too where the caller
// may read it, so that an append can look at the stream it continues; a
// FIFO is opened for writing only, so that it still waits for its reader
// and still reports the reader's going away. -1 with errno on failure.
int openForAppend(const char* path);

class LockedAppend {
 public:
  LockedAppend() = default;
  // Releases the lock.
  ~LockedAppend();
  LockedAppend(const LockedAppend&) = delete;
  LockedAppend& operator=(const LockedAppend&) = delete;

  // Takes the lock on the file open at *fd and notes where the append
  // begins. With a path (the file was opened by it): when the path names
  // another file once the lock is held, the file was replaced by a rename
  // while this waited, so *fd is closed, the path opened afresh into it and
  // the lock taken again. RGB_OK; RGB_EOPEN when the path cannot be opened
  // again, RGB_EIO when it keeps being replaced (errno EAGAIN). *fd always
  // stays an open descriptor the caller closes. Keeps a descriptor of its
  // own, so the append can still be undone after the caller's is closed.
  int lock(int* fd, const char* path);

  // The open file the lock is on.
  int descriptor() const { return fd_; }
  // A regular file's size when the lock was taken, where the append begins;
  // -1 for anything else (a pipe, a device).
  off_t start() const { return start_; }
  // Cuts a regular file back to `size` before anything is appended (what
  // is cut is not this append's, and stays cut). False with errno when the
  // cut failed.
  bool cutTo(off_t size);

  // Cuts a regular file back to where the append began, but only while it
  // ends with at most `written` bytes after that point: anything longer
  // means a writer that ignores the lock has added bytes of its own.
  void undo(uint64_t written);

 private:
  void release();

  int fd_ = -1;
  off_t start_ = -1;
};

}  // namespace rgb

#endif  // RGB_APPEND_H
