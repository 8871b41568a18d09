// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/write_all.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace toolkit {

bool writeAll(int fd, const void* data, std::size_t size) {
  iovec piece{const_cast<void*>(data), size};
  std::vector<iovec> pieces{piece};
  return writeAll(fd, pieces);
}

bool writeAll(int fd, std::vector<iovec>& pieces) {
  std::size_t first = 0;
  while (first < pieces.size() && pieces[first].iov_len == 0) ++first;
  while (first < pieces.size()) {
    const auto count = static_cast<int>(std::min<std::size_t>(IOV_MAX, pieces.size() - first));
    const ssize_t written = writev(fd, pieces.data() + first, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // Drop what went out, possibly leaving a piece half done.
    auto left = static_cast<std::size_t>(written);
    while (first < pieces.size() && left >= pieces[first].iov_len) {
      left -= pieces[first].iov_len;
      ++first;
    }
    if (left > 0) {
      pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + left;
      pieces[first].iov_len -= left;
    }
  }
  return true;
}

}  // namespace toolkit
