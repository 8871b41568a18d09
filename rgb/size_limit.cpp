// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgb/size_limit.h"

#include <pthread.h>
#include <sys/resource.h>

#include <cerrno>
#include <ctime>
#include <limits>

namespace rgb {
namespace {

sigset_t onlySizeLimitSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGXFSZ);
  return set;
}

bool sizeLimitSignalPending() {
  sigset_t pending;
  sigemptyset(&pending);
  return sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
}

}  // namespace

uint64_t roomBelowSizeLimit(off_t size) {
  constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();
  rlimit limit{};
  if (size < 0 || getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return kUnlimited;
  const auto used = static_cast<uint64_t>(size);
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

HeldSizeLimitSignal::HeldSizeLimitSignal() {
  const sigset_t set = onlySizeLimitSignal();
  held_ = pthread_sigmask(SIG_BLOCK, &set, &saved_) == 0;
  // Only a thread that held the signal back already can have one pending:
  // otherwise it would have been delivered.
  pendingBefore_ = held_ && sigismember(&saved_, SIGXFSZ) == 1 && sizeLimitSignalPending();
}

HeldSizeLimitSignal::~HeldSizeLimitSignal() {
  if (!held_) return;
  const int saved = errno;
  const sigset_t set = onlySizeLimitSignal();
  if (!pendingBefore_ && sizeLimitSignalPending()) {
    const timespec now{0, 0};
    sigtimedwait(&set, nullptr, &now);
  }
  pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  errno = saved;
}

}  // namespace rgb
