// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// What a signal undoes. Outputs register what a stop would leave half done
// (a temporary file being written, an append to a stream) and SIGINT,
// SIGTERM and SIGHUP then remove the temporary and cut the stream back to
// where the run began before the process ends with status 128 + the
// signal's number. A signal the program's caller ignores (nohup, a shell's
// background job) stays ignored.
//
// SIGXFSZ is ignored: a write past the file-size limit (`ulimit -f`) then
// fails with EFBIG like a full disk, and the normal failure path undoes it,
// instead of the process dying with a partial frame or a temporary left.
//
// Live inputs (a FIFO being recorded, a file followed) have no end of their
// own, so a program may ask that the first stop signal only ask it to
// finish: blocking reads return (the handler is installed without
// SA_RESTART), the frame source reports "stopped", and the program writes
// out what it has. A second stop signal rolls back and ends the process as
// usual.
//
// The handlers use only what is prepared here beforehand and
// async-signal-safe calls (unlinkat, fstat, stat, ftruncate, unlink,
// pthread_kill, _exit).
#ifndef TOOLKIT_SIGNALS_H
#define TOOLKIT_SIGNALS_H

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace toolkit {
namespace signals {

// Installs the handlers; once, at start, before any thread is made.
void install();

// Finish mode for the signals in `which` (SIGINT, SIGTERM or SIGHUP): the
// first of them sets finishRequested() and interrupts a blocking read in
// the calling thread (which should be the thread that reads the input);
// the next one rolls back and ends the process.
void finishOn(const std::vector<int>& which = {SIGINT});
bool finishRequested();
// The pipe a finish ends: once a finish is asked for, the descriptor reads
// from /dev/null, so that a read which had not yet begun when the signal
// came ends at once instead of waiting for a producer that may never write
// again (the signal interrupts only a read already blocked). One at a time;
// dropping another descriptor than the registered one does nothing.
void finishInput(int fd);
void dropFinishInput(int fd);

// Holds the stop signals back in the calling thread while it lives: for a
// step that makes a file and registers it, which a signal between the two
// would leave behind.
class Hold {
 public:
  Hold();
  ~Hold();
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  sigset_t saved_;
};

// A temporary file `name` in the directory open as `directoryFd`, removed
// when a signal ends the run. Returns a registration, or -1 when too many
// are registered already. Call both under a Hold with the file's creation
// or removal.
int addTemporary(int directoryFd, const std::string& name);
void dropTemporary(int registration);

// An append to the regular file open as `fd`, begun at size `start`. While
// the file's size lies within the window [low, high] the bytes after start
// are this run's own, and a signal cuts them off; `createdPath`, when not
// empty, names a file this run created, removed instead while the name
// still leads to it. The appender moves the window as its writes go out,
// widening it before a write and narrowing it after.
void setAppend(int fd, off_t start, const std::string& createdPath);
void setAppendWindow(off_t low, off_t high);
void clearAppend();

}  // namespace signals
}  // namespace toolkit

#endif  // TOOLKIT_SIGNALS_H
