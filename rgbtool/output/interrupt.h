// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Undoing half-done writes when the run is interrupted. SIGINT, SIGTERM and
// SIGHUP remove the temporary picture being written and cut an appended
// stream back to where this run began, then end the process with status
// 128 + the signal number. The handler uses only state prepared here
// beforehand and async-signal-safe calls (unlink, fstat, ftruncate, _exit).
#ifndef RGBTOOL_OUTPUT_INTERRUPT_H
#define RGBTOOL_OUTPUT_INTERRUPT_H

#include <signal.h>
#include <sys/types.h>

#include <string>

namespace rgbtool {
namespace interrupt {

// Installs the handlers; a signal the caller ignores stays ignored.
void install();

// Holds the signals back while it lives: for a step that creates a file and
// records it, which an interrupt between the two would leave behind.
class Deferred {
 public:
  Deferred();
  ~Deferred();
  Deferred(const Deferred&) = delete;
  Deferred& operator=(const Deferred&) = delete;

 private:
  sigset_t saved_;
};

// The temporary file in the making, removed when a signal arrives; an empty
// path forgets it.
void setTemporary(const std::string& path);

// Appends to fd began at `start`. While the file's size lies within
// [low, high] the bytes after start are this run's own and a signal cuts
// them off; `createdPath`, if not empty, names a file this run created,
// removed instead of cut. The writer moves the window as its writes go out.
void setAppend(int fd, off_t start, const std::string& createdPath);
void setAppendWindow(off_t low, off_t high);
void clearAppend();

}  // namespace interrupt
}  // namespace rgbtool

#endif  // RGBTOOL_OUTPUT_INTERRUPT_H
