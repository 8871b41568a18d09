// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The one frame reader every program uses: a file, a FIFO, or "-" for
// standard input, through the library's reader handle.
//
// - A path is opened once, so a FIFO or a `<(...)` pipe works: nothing is
//   read before the frames are wanted, and nothing twice.
// - Buffers grow with the bytes that arrive (rgb_reader_next_grow), never
//   with a frame size a header merely declares: a 512-byte file declaring
//   30000 x 30000 costs nothing before it fails.
// - Failures read alike in every program: "frame N: <the library's
//   detail>", N the frame that failed (the system's reason added where the
//   library has none).
// - Files can be counted, seeked by index and by time, looked at header by
//   header, and followed while they grow, are cut short or are replaced.
//
// One source must not be used by two threads at the same time.
#ifndef TOOLKIT_FRAME_SOURCE_H
#define TOOLKIT_FRAME_SOURCE_H

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "rgb/rgb.h"
#include "toolkit/frame.h"
#include "toolkit/stamps.h"

namespace toolkit {

class FrameSource {
 public:
  enum class Read {
    Frame,   // a frame (or a position) is there
    End,     // the stream ended cleanly, or has no such frame
    Failed,  // see error()
    Stopped  // the caller's stop predicate, or a stop signal in finish mode
  };
  // Tells the program about a followed file that was cut short or replaced.
  using Notice = std::function<void(const std::string& words)>;

  // flags: the layout next() delivers (RGB_TOP_ROW_FIRST, RGB_PLANAR).
  explicit FrameSource(int flags = 0) : flags_(flags) {}
  ~FrameSource();
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  // Opens path ("-": standard input, from where it stands; closed standard
  // input is an error). Opening a FIFO waits for its writer.
  bool open(const std::string& path);
  const std::string& path() const { return path_; }
  // Why the last call failed.
  const std::string& error() const { return error_; }
  // A regular file: counted, seeked and followed. Pipes are read in order.
  bool seekable() const { return seekable_; }

  // Whole frames of a file and the bytes after the last one (files only).
  bool count(int64_t& frames, uint64_t& stray);
  // The index of the frame next() reads next.
  int64_t tell() const;
  // Positions at frame `index`. Frame: next() reads it (on a file whose
  // end cuts a frame short, next() then reports that frame); End: there is
  // no such frame (a file stays at its end). A pipe is read through with
  // one frame's buffer, since it cannot seek; it cannot go back.
  Read seek(int64_t index);
  // Positions at the first frame whose time on the continuous timeline
  // (toolkit/stamps.h, from frame 0) is at least `ms`; End when every
  // frame lies before it. A file's damaged part is never reached: frames
  // before the damage can still be chosen.
  Read seekTime(int64_t ms);
  // The next frame's header without its pixels; the frame stays next.
  Read peek(rgb_frame_info& info);
  // The next frame into `frame`, its buffer grown only as the bytes arrive.
  Read next(Frame& frame);
  // Every frame's stamp: of a file from the headers alone (its position
  // is kept), of a pipe by reading it to its end. On failure, the stamps
  // of the frames before the damage.
  bool stamps(std::vector<int32_t>& stamps);

  // next() for a regular file that is still being written: at its end, or
  // at a frame still arriving, `stop` is asked, then the file is read
  // again after `pause`. A file cut shorter than the position is read
  // again from its frame 0 as it is now; a path that names another file
  // now is opened again and read from its start; both with a notice. No
  // frame is skipped silently. On a pipe, the same as next().
  Read follow(Frame& frame, const std::function<bool()>& stop, std::chrono::milliseconds pause);
  // Where notices go; by default they are reported as "<program>: <path>:
  // <words>" on stderr.
  void setNotice(Notice notice) { notice_ = std::move(notice); }

 private:
  bool adopt(FILE* stream, bool owned);
  void close();
  bool restart(off_t from);
  Read failed(int status, int64_t index, int savedErrno);
  Read readThrough(int64_t index);
  bool replaced();
  bool truncated();
  bool checkFollowed();
  void notify(const std::string& words);

  int flags_;
  std::string path_;
  std::string error_;
  FILE* stream_ = nullptr;
  bool ownsStream_ = false;
  rgb_reader* reader_ = nullptr;
  bool seekable_ = false;
  off_t start_ = 0;
  int lastStatus_ = RGB_OK;
  // Pipes are read in order from frame 0, so their timeline is kept as
  // frames go by.
  Timeline timeline_;
  // The last frame follow() delivered, to see whether it is still there.
  bool haveLast_ = false;
  rgb_frame_info last_{};
  Notice notice_;
};

}  // namespace toolkit

#endif  // TOOLKIT_FRAME_SOURCE_H
