// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/edit/byte_copy.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "toolkit/write_all.h"

namespace rgbtool {
namespace edit {
namespace {

// Big enough that a 1080p frame takes a few calls, small enough to stay in
// the cache on the way through.
constexpr std::size_t kPiece = std::size_t{1} << 20;
// copy_file_range moves at most this much per call on some kernels; asking
// for more is harmless, the loop goes on.
constexpr std::size_t kKernelPiece = std::size_t{1} << 30;

std::string systemWords(const char* what, int errnum) {
  return std::string(what) + ": " + std::strerror(errnum);
}

// The kernel cannot copy between these descriptors: go on with read and
// write rather than fail.
bool kernelDeclines(int errnum) {
  return errnum == EXDEV || errnum == EINVAL || errnum == ENOSYS || errnum == EOPNOTSUPP ||
         errnum == EBADF || errnum == ETXTBSY || errnum == EPERM;
}

// As much as the kernel will copy; returns false only on a real failure.
bool kernelCopy(int in, off_t& offset, uint64_t& left, int out, CopyCount& count,
                std::string& error) {
  while (left > 0) {
    loff_t from = offset;
    const ssize_t moved =
        copy_file_range(in, &from, out, nullptr, std::min<uint64_t>(left, kKernelPiece), 0);
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0) {
      if (kernelDeclines(errno)) return true;
      error = systemWords("cannot copy", errno);
      return false;
    }
    if (moved == 0) return true;  // the file ends early: the plain copy says so
    offset += moved;
    left -= static_cast<uint64_t>(moved);
    count.kernelBytes += static_cast<uint64_t>(moved);
  }
  return true;
}

}  // namespace

ssize_t readFully(int in, void* into, std::size_t length) {
  std::size_t got = 0;
  auto* bytes = static_cast<unsigned char*>(into);
  while (got < length) {
    const ssize_t n = read(in, bytes + got, length - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

bool copyRange(int in, off_t offset, uint64_t length, int out, CopyCount& count,
               std::string& error) {
  uint64_t left = length;
  if (!kernelCopy(in, offset, left, out, count, error)) return false;
  std::vector<unsigned char> piece(static_cast<std::size_t>(std::min<uint64_t>(left, kPiece)));
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(left, kPiece));
    const ssize_t got = pread(in, piece.data(), want, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = systemWords("cannot read", errno);
      return false;
    }
    if (got == 0) {
      error = "the file ends early (it was cut short meanwhile)";
      return false;
    }
    if (!toolkit::writeAll(out, piece.data(), static_cast<std::size_t>(got))) {
      error = systemWords("cannot write", errno);
      return false;
    }
    offset += got;
    left -= static_cast<uint64_t>(got);
    count.copiedBytes += static_cast<uint64_t>(got);
  }
  return true;
}

bool takeBytes(int in, uint64_t length, std::vector<unsigned char>* into, bool& ended,
               std::string& error) {
  ended = false;
  std::vector<unsigned char> dropped;
  std::vector<unsigned char>& bytes = into ? *into : dropped;
  bytes.clear();
  uint64_t have = 0;
  while (have < length) {
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(length - have, kPiece));
    const std::size_t at = into ? static_cast<std::size_t>(have) : 0;
    bytes.resize(at + want);
    const ssize_t got = readFully(in, bytes.data() + at, want);
    if (got < 0) {
      error = systemWords("cannot read", errno);
      return false;
    }
    have += static_cast<uint64_t>(got);
    if (static_cast<std::size_t>(got) < want) {
      bytes.resize(at + static_cast<std::size_t>(got));
      ended = true;
      return false;
    }
  }
  return true;
}

}  // namespace edit
}  // namespace rgbtool
