// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Runs a piece of the test in a forked child process, with its stdout and
// stderr captured and a deadline, so that a call that blocks forever or a
// process killed by a signal is a test failure, not a hung suite.
#ifndef RGB_TESTS_HARDENING_CHILD_H
#define RGB_TESTS_HARDENING_CHILD_H

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace hardening {

using Millis = std::chrono::milliseconds;

struct Ended {
  bool timedOut = false;  // killed by us at the deadline
  bool exited = false;    // ended by exit; otherwise by a signal
  int status = -1;        // exit status, or the signal number
  std::string out;
  std::string err;
};

class Child {
 public:
  // Forks; the child runs body and exits with its result. Its stdout and
  // stderr go to files read back by wait().
  explicit Child(const std::function<int()>& body);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // True while the child has not ended.
  bool running();
  // Waits until the child ends or the deadline passes; at the deadline the
  // child is killed and timedOut is set.
  Ended wait(Millis deadline = Millis(30000));

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int rawStatus_ = 0;
  int outFd_ = -1;
  int errFd_ = -1;
};

// Runs body in a child and waits for it.
Ended runInChild(const std::function<int()>& body, Millis deadline = Millis(30000));

}  // namespace hardening

#endif  // RGB_TESTS_HARDENING_CHILD_H
