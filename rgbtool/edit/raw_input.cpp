// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/edit/raw_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rgbtool {
namespace edit {

RawInput::~RawInput() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

bool RawInput::open(const std::string& path) {
  path_ = path;
  if (path == "-") {
    fd_ = STDIN_FILENO;
  } else {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    owned_ = fd_ >= 0;
  }
  struct stat info;
  if (fd_ < 0 || fstat(fd_, &info) != 0) {
    error_ = std::string(path == "-" ? "cannot read standard input: " : "cannot open: ") +
             std::strerror(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    error_ = "cannot read: is a directory";
    return false;
  }
  if (S_ISREG(info.st_mode)) {
    const off_t at = lseek(fd_, 0, SEEK_CUR);
    regular_ = at >= 0;
    start_ = at >= 0 ? at : 0;
    size_ = info.st_size > start_ ? static_cast<uint64_t>(info.st_size - start_) : 0;
  }
  return true;
}

bool RawInput::measure() {
  struct stat info;
  if (fstat(fd_, &info) != 0) {
    error_ = std::string("cannot read: ") + std::strerror(errno);
    return false;
  }
  size_ = info.st_size > start_ ? static_cast<uint64_t>(info.st_size - start_) : 0;
  return true;
}

}  // namespace edit
}  // namespace rgbtool
