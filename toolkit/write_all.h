// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Writing every byte to a descriptor: write(2) may put out less than asked
// (a pipe, a signal), and the rest must follow.
#ifndef TOOLKIT_WRITE_ALL_H
#define TOOLKIT_WRITE_ALL_H

#include <sys/uio.h>

#include <cstddef>
#include <vector>

namespace toolkit {

// Writes all `size` bytes, resuming after short writes and EINTR; false
// with errno set when a write fails.
bool writeAll(int fd, const void* data, std::size_t size);
// The same for pieces gathered in one writev per IOV_MAX of them; the
// pieces are used up (advanced) on the way.
bool writeAll(int fd, std::vector<iovec>& pieces);

}  // namespace toolkit

#endif  // TOOLKIT_WRITE_ALL_H
