// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Appends to a file as one unit: under an exclusive advisory lock, so that
// appenders using this library never interleave, and undone when they fail.
#ifndef RGB_APPEND_H
#define RGB_APPEND_H

#include <sys/types.h>

#include <cstdint>

namespace rgb {

class LockedAppend {
 public:
  // Takes the lock on the open file behind `fd` (opened for appending) and
  // notes where the append begins. Keeps a descriptor of its own, so the
  // append can still be undone after the caller's stream was closed.
  explicit LockedAppend(int fd);
  // Releases the lock.
  ~LockedAppend();
  LockedAppend(const LockedAppend&) = delete;
  LockedAppend& operator=(const LockedAppend&) = delete;

  // Cuts a regular file back to where the append began, but only while it
  // ends with at most `written` bytes after that point: anything longer
  // means a writer that ignores the lock has added bytes of its own.
  void undo(uint64_t written);

 private:
  int fd_ = -1;
  off_t start_ = -1;
};

}  // namespace rgb

#endif  // RGB_APPEND_H
