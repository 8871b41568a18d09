// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Appending frames to a stream for a whole run (import, record), all or
// nothing.
//
// - A regular file is locked (flock LOCK_EX, the lock the library's
//   appenders take) for the whole run, and after locking the path must
//   still name the locked file: one replaced meanwhile (import --new) is
//   opened again, so that no frame goes into a file no name leads to.
// - The frames must continue the stream, as the library's reader sees it:
//   frames of the same size, RGB, and no partial frame at the end (which
//   would shift every later frame); such a stream is refused, or with
//   `cutPartial` first cut back to its last whole frame.
// - Frames are encoded by the library's writer over the locked descriptor.
// - On failure, on destruction without commit and on a stop signal the
//   file is cut back to where the run began (or removed, when the run made
//   it and the name still leads to it), but only while it still ends with
//   this run's bytes.
// - Standard output ("-") that is a regular file (`1<>s.rgb`, `>>s.rgb`)
//   is appended to at its end, not written at its offset; a pipe or a
//   device is written as it is.
#ifndef TOOLKIT_STREAM_APPEND_H
#define TOOLKIT_STREAM_APPEND_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "rgb/rgb.h"

namespace toolkit {

// The library's writer over a copy of a descriptor, unbuffered: a frame
// that fails leaves nothing in a buffer that a later close would write.
// For every stream a program makes (appended to, or made afresh under a
// temporary name).
class FrameWriter {
 public:
  FrameWriter() = default;
  ~FrameWriter() { close(); }
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // false with the reason in `error`.
  bool open(int fd, std::string& error);
  // One frame of interleaved pixels; false with the reason in `error`.
  bool put(const unsigned char* pixels, int width, int height, int32_t stamp, int flags,
           std::string& error);
  // false when the final flush or close failed.
  bool close();

 private:
  FILE* stream_ = nullptr;
  rgb_writer* writer_ = nullptr;
};

struct AppendRules {
  bool cutPartial = false;  // cut a partial frame at the end instead of refusing
  bool durable = true;      // on the disk (fsync) before commit() returns
};

class StreamAppender {
 public:
  StreamAppender() = default;
  // Rolls back unless committed.
  ~StreamAppender();
  StreamAppender(const StreamAppender&) = delete;
  StreamAppender& operator=(const StreamAppender&) = delete;

  // Opens `path` ("-": standard output) to append RGB frames of width x
  // height, creating it when missing; checks, under the lock, that such
  // frames continue it.
  bool open(const std::string& path, int width, int height, const AppendRules& rules = {});
  // Appends one frame of pixels (flags: RGB_TOP_ROW_FIRST, RGB_PLANAR).
  bool append(const unsigned char* pixels, int32_t stamp, int flags = 0);
  // Ends the run and keeps its frames; false with error() when they could
  // not be made safe (then roll back, or let the destructor do it).
  bool commit();
  // Undoes the run; true when the stream is as it was before it (false:
  // framesAppended() frames of it may be left, in a pipe or after another
  // writer's bytes).
  bool rollback();

  // Whole frames before the run; -1 when the output is no regular file.
  int64_t framesBefore() const { return framesBefore_; }
  int64_t framesAppended() const { return appended_; }
  // The descriptor the frames go to, for hints such as writeback; -1 when
  // not open.
  int fd() const { return fd_; }
  // Why the last call failed, without the path.
  const std::string& error() const { return error_; }

 private:
  bool openPath();
  bool create();
  bool lockCurrent();
  bool prepare();
  bool continues(off_t size);
  bool removeCreated(const struct stat& file);
  void release();

  std::string path_;
  int width_ = 0;
  int height_ = 0;
  AppendRules rules_;
  std::string error_;
  int fd_ = -1;
  bool regular_ = false;
  bool created_ = false;
  bool committed_ = false;
  bool began_ = false;  // the stream was found fit and its end noted
  FrameWriter writer_;
  off_t start_ = 0;
  off_t written_ = 0;     // this run's bytes known to be in the file
  uint64_t frameBytes_ = 0;  // one frame in the stream
  int64_t framesBefore_ = -1;
  int64_t appended_ = 0;
};

}  // namespace toolkit

#endif  // TOOLKIT_STREAM_APPEND_H
