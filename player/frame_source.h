// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frames for the player's window, read on a thread of their own.
//
// Reads block: on a FIFO or standard input fread waits for the producer,
// and a large frame takes milliseconds to read even from a file. A reader
// thread keeps all of that off the GLUT thread, so the window goes on
// redrawing and answering keys while a producer is silent. The thread owns
// the rgb_reader handle; the two threads share only a short queue of
// decoded frames and a seek request, under one mutex.
#ifndef RGBPLAY_FRAME_SOURCE_H
#define RGBPLAY_FRAME_SOURCE_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "player/options.h"
#include "rgb/rgb.h"
#include "toolkit/marking.h"
#include "toolkit/stamps.h"

namespace rgbplay {

// One decoded frame: the picture as read (row 0 at the bottom) and its
// display image.
struct Frame {
  int64_t index = 0;
  int32_t stamp = 0;
  int64_t time = 0;  // ms from the first frame on the continuous timeline
  int64_t step = 0;  // ms from the frame before's stamp, the short way round

  int width = 0;
  int height = 0;
  std::vector<unsigned char> input;
  std::vector<unsigned char> display;
};

// What the front of the queue holds.
enum class Next {
  Nothing,  // not read yet
  Frame,    // a frame, see front()
  End,      // the clean end of the stream
  Error     // a damaged or unreadable stream, see error()
};

class FrameSource {
 public:
  // A seekable source over a reader the caller opened (a regular file);
  // `frames` is its count when opened. With `follow` the end is never
  // final: reads are tried again as the file grows.
  FrameSource(rgb_reader* reader, int64_t frames, bool follow,
              const toolkit::MarkingRegion& region);
  // A live source: `path` ("-" is standard input) is opened by the thread,
  // since opening a FIFO waits for its producer.
  FrameSource(std::string path, const toolkit::MarkingRegion& region);

  // Starts the reader thread, which lives until the process ends.
  void start();

  bool seekable() const { return seekable_; }

  // ---- for the GLUT thread ----
  Next next();
  // The frame `position` places from the front of the queue, still queued,
  // or null when no frame is there yet. It stays valid until take() or
  // seek(), which only this thread calls.
  const Frame* peek(std::size_t position);
  // The frame at the front of the queue, taken out (Next::Frame only). The
  // caller gives it back with recycle() once it is no longer shown.
  std::unique_ptr<Frame> take();
  void recycle(std::unique_ptr<Frame> frame);
  // The status and a reason for Next::Error.
  std::string error();
  // Where a seek goes: frame `value`; the last whole frame at the time of
  // the request; or the first frame at or after time `value` (ms on the
  // timeline),
  // but at least one frame past `from` when `direction` is above 0 and one
  // before it when below, so a seek always moves across long steps.
  struct Target {
    enum class Kind { Index, Last, Time };
    Kind kind = Kind::Index;
    int64_t value = 0;
    int64_t from = 0;
    int direction = 0;
  };
  // Drops what is queued and has the thread read from the target on.
  void seek(const Target& target);
  // Before start(): where reading begins. A file's frames are looked up at
  // once: a start past its end is an error (its text returned) unless the
  // file is followed, when the thread waits for the file to get there. A
  // live stream's frames before the start are read and passed over.
  std::string startAt(const StartPoint& start);
  // Whole frames known so far (the file's count, or frames read when live).
  int64_t frames();

 private:
  struct Item {
    Next kind = Next::Nothing;
    std::unique_ptr<Frame> frame;
  };
  void run();
  bool openLive();
  bool firstFrame(rgb_frame_info* first);
  void readFrames(const rgb_frame_info& first);
  // Learns the stamps of the file's whole frames not known yet.
  void indexFrames();
  int64_t resolve(const Target& target);
  // Whether the file's frames known so far reach the start.
  bool reaches(const StartPoint& start) const;
  // Whether the thread waits for the start (a followed file) and, for a
  // live stream, whether `frame` is still before it: then it is passed
  // over.
  bool awaitStart(std::unique_lock<std::mutex>& lock);
  bool beforeStart(std::unique_ptr<Frame>& frame);
  void place(Frame& frame, const rgb_frame_info& info);
  void push(std::unique_ptr<Frame> frame);
  // Ends the stream with `kind` and, for a file, waits for a seek that
  // starts it again; false when the thread should end.
  bool finish(Next kind, std::unique_lock<std::mutex>& lock);
  std::unique_ptr<Frame> blankFrame(const rgb_frame_info& first);

  rgb_reader* reader_ = nullptr;
  std::string path_;
  bool seekable_ = false;
  bool follow_ = false;
  toolkit::MarkingRegion region_;

  // Used by the reader thread only (and by startAt before it runs).
  std::vector<int32_t> stamps_;  // a file's frames looked up so far
  std::vector<int64_t> times_;
  toolkit::Timeline timeline_;   // those frames', or a live stream's so far
  int64_t position_ = 0;         // the next frame to read
  bool started_ = true;          // the start has been reached
  StartPoint start_;

  std::mutex mutex_;
  std::condition_variable wake_;  // room in the queue, or a seek request
  std::deque<Item> queue_;
  std::vector<std::unique_ptr<Frame>> spare_;
  uint64_t generation_ = 0;  // bumped by every seek; older reads are dropped
  bool seekPending_ = false;
  Target seekTo_;
  int64_t frames_ = 0;
  std::string error_;
};

}  // namespace rgbplay

#endif  // RGBPLAY_FRAME_SOURCE_H
