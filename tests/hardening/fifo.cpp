// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "tests/hardening/fifo.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace hardening {

void makeFifo(const std::string& path) {
  if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed for " + path);
}

int openFifoWriter(const std::string& path, std::chrono::milliseconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    // Non-blocking, so that a reader that never comes cannot hang the test:
    // without a reader the open fails with ENXIO and is tried again.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO || std::chrono::steady_clock::now() >= until)
      throw std::runtime_error("no reader opened " + path);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void writeAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t done = 0; done < size;) {
    const ssize_t put = write(fd, bytes + done, size - done);
    if (put <= 0) throw std::runtime_error("write to pipe failed");
    done += static_cast<std::size_t>(put);
  }
}

}  // namespace hardening
