// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frames for the player's window, read on a thread of their own.
//
// Reads block: on a FIFO or standard input a read waits for the producer,
// and a large frame takes milliseconds to read even from a file. A reader
// thread keeps all of that off the GLUT thread, so the window goes on
// redrawing and answering keys while a producer is silent. The thread owns
// the frame source (toolkit's, which does the reading itself); the two
// threads share only a short queue of decoded frames and a seek request,
// under one mutex.
#ifndef RGBPLAY_FRAME_QUEUE_H
#define RGBPLAY_FRAME_QUEUE_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "player/options.h"
#include "toolkit/frame.h"
#include "toolkit/frame_source.h"
#include "toolkit/marking.h"
#include "toolkit/stamps.h"

namespace rgbplay {

// One frame: the picture as read (row 0 at the bottom) in a buffer that
// grows only with the bytes that arrived, its display image, and where it
// lies on the continuous timeline. Frames are used again, buffers and all.
struct Frame {
  toolkit::Frame picture;
  toolkit::Pixels display;
  std::size_t displayCapacity = 0;
  int64_t time = 0;  // ms from the first frame on the continuous timeline
  int64_t step = 0;  // ms from the frame before's stamp, the short way round

  int64_t index() const { return picture.index(); }
  int32_t stamp() const { return picture.stamp(); }
  int width() const { return picture.width(); }
  int height() const { return picture.height(); }
};

// What the front of the queue holds.
enum class Next {
  Nothing,  // not read yet
  Frame,    // a frame, see peek()
  End,      // the clean end of the stream
  Error     // a damaged or unreadable stream, see error()
};

class FrameQueue {
 public:
  FrameQueue(std::string path, bool follow, const StartPoint& start,
             const toolkit::MarkingRegion& region);

  // For a file, on the calling thread before start(): opens it, goes to
  // the start and reads the first frame (a followed file: only what is
  // there yet), so that a file that cannot be played fails before any
  // window opens. Returns why it cannot be played, or "". Without it the
  // thread opens the input, since opening a FIFO waits for its producer.
  std::string openFile();
  // The first frame's size once openFile() read it; 0 when not known yet.
  int firstWidth() const { return firstWidth_; }
  int firstHeight() const { return firstHeight_; }

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
  // The reason for Next::Error.
  std::string error();
  // Where a seek goes: frame `value`; the last whole frame at the time of
  // the request; or the first frame at or after time `value` (ms on the
  // timeline), but at least one frame past `from` when `direction` is above
  // 0 and one before it when below, so a seek always moves across long
  // steps.
  struct Target {
    enum class Kind { Index, Last, Time };
    Kind kind = Kind::Index;
    int64_t value = 0;
    int64_t from = 0;
    int direction = 0;
  };
  // Drops what is queued and has the thread read from the target on.
  void seek(const Target& target);
  // Whole frames known so far (the file's count, or frames read when live).
  int64_t frames();

 private:
  struct Item {
    Next kind = Next::Nothing;
    std::unique_ptr<Frame> frame;
  };
  using Read = toolkit::FrameSource::Read;

  // ---- the reader thread (and openFile before it runs) ----
  void run();
  void readFrames(std::unique_lock<std::mutex>& lock);
  // Goes to the start of a file; End when the file does not reach it.
  Read goToStart();
  // Why a file that does not reach the start cannot be played.
  std::string unreachable();
  // Reads the next frame into `frame`, placed on the timeline and marked.
  Read read(Frame& frame);
  // Learns the stamps of a file's whole frames again when its count has
  // changed, or after it was cut short or replaced.
  void learnStamps();
  void place(Frame& frame);
  bool mark(Frame& frame);
  int64_t resolve(const Target& target);
  // A followed file: waits a moment for it to grow, or for a seek.
  void pauseForGrowth(std::unique_lock<std::mutex>& lock);
  // Whether a live stream's frame comes before the start (passed over).
  bool beforeStart(const Frame& frame);
  std::string failure(Read got) const;
  std::unique_ptr<Frame> spareFrame();
  void push(std::unique_ptr<Frame> frame);
  // Ends the stream with `kind` and, for a file, waits for a seek that
  // starts it again; false when the thread should end.
  bool finish(Next kind, std::unique_lock<std::mutex>& lock);

  std::string path_;
  bool follow_;
  StartPoint start_;
  toolkit::MarkingRegion region_;
  toolkit::FrameSource source_;  // the reader thread's (openFile's before it)
  bool opened_ = false;
  std::atomic<bool> seekable_{false};
  bool started_ = false;  // the start has been reached
  int firstWidth_ = 0;
  int firstHeight_ = 0;
  std::unique_ptr<Frame> first_;  // read by openFile, queued by start()

  // The reader thread's: a file's stamps and their timeline, learnt from
  // the headers; a live stream's timeline as frames go by.
  std::vector<int32_t> stamps_;
  std::vector<int64_t> times_;
  toolkit::Timeline timeline_;
  bool relearn_ = false;  // the followed file was cut short or replaced
  std::string readError_;  // why read() failed, when not the source's words

  std::mutex mutex_;
  std::condition_variable wake_;  // room in the queue, or a seek request
  std::atomic<bool> seekPending_{false};
  std::deque<Item> queue_;
  std::vector<std::unique_ptr<Frame>> spare_;
  uint64_t generation_ = 0;  // bumped by every seek; older reads are dropped
  Target seekTo_;
  int64_t frames_ = 0;
  std::string error_;
};

}  // namespace rgbplay

#endif  // RGBPLAY_FRAME_QUEUE_H
