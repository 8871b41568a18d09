// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The file-size limit (RLIMIT_FSIZE) never ends a process in the middle of
// an append: an append that would pass it fails before a byte is written,
// and a write that passes it all the same (the limit lowered meanwhile, a
// stream the library did not open) fails with EFBIG instead of raising a
// SIGXFSZ that kills. Signal dispositions stay the application's.
#ifndef RGB_SIZE_LIMIT_H
#define RGB_SIZE_LIMIT_H

#include <signal.h>
#include <sys/types.h>

#include <cstdint>

namespace rgb {

// Bytes that may still be written to a regular file of `size` bytes under
// the limit; UINT64_MAX without a limit or for anything but a regular file
// (size -1).
uint64_t roomBelowSizeLimit(off_t size);

// Holds SIGXFSZ back in the calling thread while it lives. A SIGXFSZ that a
// write raised meanwhile is taken off before the thread's mask is restored;
// one that was pending before is left for the application.
class HeldSizeLimitSignal {
 public:
  HeldSizeLimitSignal();
  ~HeldSizeLimitSignal();
  HeldSizeLimitSignal(const HeldSizeLimitSignal&) = delete;
  HeldSizeLimitSignal& operator=(const HeldSizeLimitSignal&) = delete;

 private:
  sigset_t saved_;
  bool held_ = false;
  bool pendingBefore_ = false;
};

}  // namespace rgb

#endif  // RGB_SIZE_LIMIT_H
