// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A stream read as bytes, for the commands that copy frames as they are
// (cut, join, repair): a file, a FIFO, or "-" for standard input.
#ifndef RGBTOOL_EDIT_RAW_INPUT_H
#define RGBTOOL_EDIT_RAW_INPUT_H

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace rgbtool {
namespace edit {

class RawInput {
 public:
  RawInput() = default;
  ~RawInput();
  RawInput(const RawInput&) = delete;
  RawInput& operator=(const RawInput&) = delete;

  // Opens for reading; false with error(). Standard input is read from
  // where it stands, so a stream handed on part-read starts there.
  bool open(const std::string& path);
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // A regular file: its frames are found from their offsets. Anything else
  // is read once, in order.
  bool regular() const { return regular_; }
  // Where the stream starts in the file and the bytes from there on.
  off_t start() const { return start_; }
  uint64_t size() const { return size_; }
  const std::string& error() const { return error_; }
  // Takes the size of a regular file again (after locking it, say).
  bool measure();

 private:
  std::string path_;
  std::string error_;
  int fd_ = -1;
  bool owned_ = false;
  bool regular_ = false;
  off_t start_ = 0;
  uint64_t size_ = 0;
};

}  // namespace edit
}  // namespace rgbtool

#endif  // RGBTOOL_EDIT_RAW_INPUT_H
