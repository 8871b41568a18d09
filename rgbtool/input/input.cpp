// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/input/input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rgbtool {
namespace {

// The library reads a scanline per call; a large stdio buffer turns that
// into few big reads.
constexpr std::size_t kReadBuffer = 1 << 20;
// Enough for a header; a bigger buffer would read pixels only to drop them.
constexpr std::size_t kHeaderBuffer = 4096;

}  // namespace

InputStream::~InputStream() {
  if (stream_ && ownsStream_) std::fclose(stream_);
}

bool InputStream::open(const std::string& path, Use use) {
  if (path == "-") {
    stream_ = stdin;
    ownsStream_ = false;
  } else {
    stream_ = std::fopen(path.c_str(), "rb");
    if (!stream_) {
      error_ = std::string("cannot open: ") + std::strerror(errno);
      return false;
    }
    ownsStream_ = true;
  }
  struct stat info;
  if (fstat(fileno(stream_), &info) == 0 && S_ISREG(info.st_mode)) {
    const off_t at = lseek(fileno(stream_), 0, SEEK_CUR);
    seekable_ = at >= 0;
    start_ = at >= 0 ? at : 0;
    size_ = info.st_size > start_ ? static_cast<uint64_t>(info.st_size - start_) : 0;
  } else if (path != "-" && fstat(fileno(stream_), &info) == 0 && S_ISDIR(info.st_mode)) {
    error_ = "cannot read: is a directory";
    return false;
  }
  buffer_.resize(use == Use::Headers && seekable_ ? kHeaderBuffer : kReadBuffer);
  std::setvbuf(stream_, buffer_.data(), _IOFBF, buffer_.size());
  return true;
}

}  // namespace rgbtool
