// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A picture file written so that nothing is lost if the write fails: a
// regular file (or a name not yet taken) is written under a temporary name
// in the same directory and renamed over the destination only when complete,
// so an existing picture survives a failure whole and a half-written one
// never appears under the name. A symbolic link stays and its target is
// replaced. A device, a named pipe or standard output ("-") is written
// directly and never removed.
#ifndef RGBTOOL_OUTPUT_OUTPUT_FILE_H
#define RGBTOOL_OUTPUT_OUTPUT_FILE_H

#include <sys/stat.h>

#include <string>

namespace rgbtool {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // With replace false an existing regular file is refused, not replaced.
  bool open(const std::string& path, std::string& error, bool replace = true);
  int fd() const { return fd_; }
  // Puts the written file in place. durable: first wait until its data is
  // on the disk (fsync), for files that cannot be made again, like a stream;
  // a picture or video can be exported again from its stream, and the wait
  // would cost more than the whole conversion. Either way a failure, a
  // signal or a full disk leaves what was at the name.
  bool commit(std::string& error, bool durable = false);

 private:
  int fd_ = -1;
  bool direct_ = false;
  std::string temporary_;
  std::string destination_;
  bool replace_ = true;
};

// True when path ("-": standard output), followed through links, is the
// file described by `file`.
bool sameFile(const std::string& path, const struct stat& file);

}  // namespace rgbtool

#endif  // RGBTOOL_OUTPUT_OUTPUT_FILE_H
