// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// An input stream by name: a file, a named pipe, or "-" for standard input.
#ifndef RGBTOOL_INPUT_INPUT_H
#define RGBTOOL_INPUT_INPUT_H

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace rgbtool {

class InputStream {
 public:
  InputStream() = default;
  ~InputStream();
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;

  // What the stream is read for: whole frames, or only headers (then regular
  // files are read in small pieces, since everything else is skipped).
  enum class Use { Frames, Headers };

  // Opens for binary reading; on failure error() says why.
  bool open(const std::string& path, Use use = Use::Frames);
  FILE* get() const { return stream_; }
  // Regular files have a known size and can be seeked; pipes cannot.
  bool seekable() const { return seekable_; }
  // A seekable stream begins where it stood when opened: standard input may
  // have been read partly by whoever passed it on. size() counts from there.
  off_t start() const { return start_; }
  uint64_t size() const { return size_; }
  const std::string& error() const { return error_; }

 private:
  FILE* stream_ = nullptr;
  bool ownsStream_ = false;
  bool seekable_ = false;
  off_t start_ = 0;
  uint64_t size_ = 0;
  std::string error_;
  std::vector<char> buffer_;
};

}  // namespace rgbtool

#endif  // RGBTOOL_INPUT_INPUT_H
