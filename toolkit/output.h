// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The one way every program writes a file: pictures, videos, sheets, plots
// and streams made afresh.
//
// - A new name, or an existing regular file, is written under a hidden
//   temporary name in the same directory (short enough for any name that
//   fits the directory) and renamed into place only on commit(): a failure,
//   a signal or a full disk leaves what was there, and a half-written file
//   never appears under the name. A symbolic link stays; its target is
//   replaced.
// - An existing file is replaced only with `overwrite` (-y/--overwrite);
//   without it the rename refuses a file that appeared meanwhile too.
// - The program's inputs are never written over: compared by device and
//   inode, so through links and hard links, and also when the output is
//   standard output.
// - Replacing a file takes the old file's exclusive lock (flock) around the
//   rename, the lock the library's appenders hold while they append: an
//   append then lands in the old file before the rename or in the new one
//   after it, never in a file that no name leads to.
// - A device, a FIFO or standard output ("-") is written directly; closed
//   standard output is an error.
//
// Data and text never share one stream. A command whose data goes to
// standard output (namesStdout) prints its text lines on stderr instead
// (textStream), or refuses when the text is its result (info --plot -).
#ifndef TOOLKIT_OUTPUT_H
#define TOOLKIT_OUTPUT_H

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace toolkit {

struct OutputRules {
  bool overwrite = false;           // an existing file may be replaced
  std::vector<std::string> inputs;  // never written over ("-": standard input)
  bool durable = false;             // on the disk (fsync) before the rename:
                                    // for streams, which cannot be made again
};

class Output {
 public:
  Output() = default;
  // Rolls back unless committed.
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Opens `path` ("-": standard output) for writing; nothing is created
  // when it is refused.
  bool open(const std::string& path, const OutputRules& rules = {});
  // Where the data goes.
  int fd() const { return fd_; }
  // A device, FIFO or standard output, written where it is.
  bool direct() const { return direct_; }
  // Puts the file in place (or closes a direct one); false with error().
  // After a failure the temporary is gone and the name holds what it held.
  bool commit();
  // Drops what was written: the temporary file is removed.
  void rollback();
  // Why open or commit failed, without the path: "exists; not replaced
  // (-y or --overwrite replaces it)".
  const std::string& error() const { return error_; }

 private:
  bool openStandardOutput();
  bool openDirect(const std::string& path);
  bool openTemporary();
  bool refuseInput(const struct stat& file);
  bool placeNew();
  bool replaceLocked();

  std::string path_;
  OutputRules rules_;
  std::string error_;
  int fd_ = -1;
  bool direct_ = false;
  bool committed_ = false;
  // The temporary file: its directory, name and registration with signals.
  int directoryFd_ = -1;
  std::string temporary_;
  std::string base_;  // the destination's name in that directory
  int registration_ = -1;
};

// Whether `out` names standard output ("-", or a name of the file that
// standard output is).
bool namesStdout(const std::string& out);
// Where a command's text lines go when its data goes to `out`: stdout, or
// stderr when the data takes stdout.
FILE* textStream(const std::string& out);

}  // namespace toolkit

#endif  // TOOLKIT_OUTPUT_H
