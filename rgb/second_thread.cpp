// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/second_thread.h"

#include <sched.h>
#include <signal.h>

namespace rgb {

bool severalCores() {
  cpu_set_t cores;
  return sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 1;
}

bool SecondThread::start(void* (*work)(void*), void* context) {
  join();
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  if (pthread_sigmask(SIG_SETMASK, &all, &before) != 0) return false;
  running_ = pthread_create(&thread_, nullptr, work, context) == 0;
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return running_;
}

void SecondThread::join() {
  if (running_) pthread_join(thread_, nullptr);
  running_ = false;
}

}  // namespace rgb
