// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A second thread for half of one call's copying, on machines with a core
// to spare. It holds every signal back, so handlers run in the caller's
// thread as they would without it, and it never outlives the call.
#ifndef RGB_SECOND_THREAD_H
#define RGB_SECOND_THREAD_H

#include <pthread.h>

namespace rgb {

// Whether this process may run on more than one core (taskset, a
// container's share).
bool severalCores();

class SecondThread {
 public:
  SecondThread() = default;
  ~SecondThread() { join(); }
  SecondThread(const SecondThread&) = delete;
  SecondThread& operator=(const SecondThread&) = delete;

  // Starts work(context); false (and nothing started) when no thread can
  // be had, for the caller to do the work itself.
  bool start(void* (*work)(void*), void* context);
  void join();

 private:
  pthread_t thread_{};
  bool running_ = false;
};

}  // namespace rgb

#endif  // RGB_SECOND_THREAD_H
