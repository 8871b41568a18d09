// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "player/frame_queue.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include "toolkit/program.h"

namespace rgbplay {
namespace {

// Frames decoded ahead of the one shown: enough to cover a slow read while
// playing, few enough that a 1920 x 1080 stream stays within tens of MB.
constexpr std::size_t kQueueDepth = 3;
// How often a followed file is looked at again once its end is reached.
constexpr std::chrono::milliseconds kFollowPoll(40);

}  // namespace

FrameQueue::FrameQueue(std::string path, bool follow, const StartPoint& start,
                       const toolkit::MarkingRegion& region)
    : path_(std::move(path)), follow_(follow), start_(start), region_(region) {
  // A followed file cut short or replaced is read again from its frame 0:
  // the stamps learnt from it are no longer its own.
  source_.setNotice([this](const std::string& words) {
    toolkit::report(path_ + ": " + words);
    relearn_ = true;
  });
}

std::string FrameQueue::openFile() {
  if (!source_.open(path_)) return source_.error();
  opened_ = true;
  seekable_ = source_.seekable();
  const Read reached = goToStart();
  if (reached == Read::Failed) return source_.error();
  if (reached == Read::End) return follow_ ? "" : unreachable();
  started_ = true;
  if (follow_) {  // the window's size, if the first frame is there yet
    rgb_frame_info info{};
    if (source_.peek(info) == Read::Frame) {
      firstWidth_ = info.width;
      firstHeight_ = info.height;
    }
    return "";
  }
  auto frame = std::make_unique<Frame>();
  const Read got = read(*frame);
  if (got != Read::Frame) return failure(got);
  firstWidth_ = frame->width();
  firstHeight_ = frame->height();
  first_ = std::move(frame);
  return "";
}

void FrameQueue::start() {
  if (first_) {
    const std::lock_guard<std::mutex> lock(mutex_);
    push(std::move(first_));
  }
  // Detached: the process ends from the GLUT thread, possibly while this
  // thread waits in a read that only the producer can finish.
  std::thread([this] { run(); }).detach();
}

Next FrameQueue::next() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return queue_.empty() ? Next::Nothing : queue_.front().kind;
}

const Frame* FrameQueue::peek(std::size_t position) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (position >= queue_.size() || queue_[position].kind != Next::Frame) return nullptr;
  return queue_[position].frame.get();
}

std::unique_ptr<Frame> FrameQueue::take() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty() || queue_.front().kind != Next::Frame) return nullptr;
  std::unique_ptr<Frame> frame = std::move(queue_.front().frame);
  queue_.pop_front();
  wake_.notify_all();
  return frame;
}

void FrameQueue::recycle(std::unique_ptr<Frame> frame) {
  if (!frame) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  spare_.push_back(std::move(frame));
}

std::string FrameQueue::error() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

int64_t FrameQueue::frames() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

void FrameQueue::seek(const Target& target) {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (Item& item : queue_)
    if (item.frame) spare_.push_back(std::move(item.frame));
  queue_.clear();
  ++generation_;
  seekPending_ = true;
  seekTo_ = target;
  wake_.notify_all();
}

void FrameQueue::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!opened_) {
    lock.unlock();
    const bool opened = source_.open(path_);
    lock.lock();
    if (!opened) {
      error_ = source_.error();
      finish(Next::Error, lock);
      return;
    }
    opened_ = true;
    seekable_ = source_.seekable();
  }
  readFrames(lock);
}

void FrameQueue::readFrames(std::unique_lock<std::mutex>& lock) {
  for (;;) {
    wake_.wait(lock, [&] {
      if (seekPending_) return true;
      std::size_t queued = 0;
      for (const Item& item : queue_) queued += item.kind == Next::Frame;
      return queued < kQueueDepth;
    });
    if (seekPending_) {
      seekPending_ = false;
      started_ = true;  // a seek overrides a start not reached yet
      const Target target = seekTo_;
      lock.unlock();
      source_.seek(resolve(target));  // past the end: at the end
      lock.lock();
      continue;
    }
    if (!started_ && seekable_) {  // not at the start yet (a followed file, standard input)
      lock.unlock();
      const Read reached = goToStart();
      const bool waits = reached == Read::End && follow_;
      const std::string why = waits || reached == Read::Frame ? ""
                              : reached == Read::End          ? unreachable()
                                                              : source_.error();
      lock.lock();
      started_ = reached == Read::Frame;
      if (waits) pauseForGrowth(lock);
      if (waits || started_) continue;
      error_ = why;
      if (!finish(Next::Error, lock)) return;
      continue;
    }
    const uint64_t generation = generation_;
    std::unique_ptr<Frame> frame = spareFrame();
    lock.unlock();
    const Read got = read(*frame);
    lock.lock();
    if (generation != generation_ || got == Read::Stopped) {  // a seek came meanwhile
      spare_.push_back(std::move(frame));
      continue;
    }
    if (got == Read::Frame) {
      if (!seekable_ && beforeStart(*frame))
        spare_.push_back(std::move(frame));
      else
        push(std::move(frame));
      continue;
    }
    spare_.push_back(std::move(frame));
    const bool endsEarly = got == Read::End && !started_;
    if (got == Read::Failed || endsEarly)
      error_ = endsEarly ? "the stream ended before --start " + describe(start_) : failure(got);
    if (!finish(got == Read::End && !endsEarly ? Next::End : Next::Error, lock)) return;
  }
}

FrameQueue::Read FrameQueue::goToStart() {
  if (start_.kind == StartPoint::Kind::Time) return source_.seekTime(start_.value);
  return source_.seek(start_.value);
}

std::string FrameQueue::unreachable() {
  learnStamps();
  if (stamps_.empty()) return "no frames in the stream";
  const std::size_t frames = stamps_.size();
  if (start_.kind == StartPoint::Kind::Index)
    return "--start " + describe(start_) + ": the stream has " + std::to_string(frames) +
           (frames == 1 ? " frame" : " frames");
  return "--start " + describe(start_) + " is after the last frame (at " +
         describe(StartPoint{StartPoint::Kind::Time, times_.back()}) + ")";
}

FrameQueue::Read FrameQueue::read(Frame& frame) {
  readError_.clear();
  const Read got =
      follow_ && seekable_
          ? source_.follow(frame.picture, [this] { return seekPending_.load(); }, kFollowPoll)
          : source_.next(frame.picture);
  if (got != Read::Frame) return got;
  if (frame.width() <= 0 || frame.height() <= 0) {
    readError_ = "pictures of " + std::to_string(frame.width()) + " x " +
                 std::to_string(frame.height()) + " pixels cannot be shown";
    return Read::Failed;
  }
  if (!mark(frame)) {
    readError_ = "frame " + std::to_string(frame.index()) + ": no memory for its display image";
    return Read::Failed;
  }
  place(frame);
  return Read::Frame;
}

bool FrameQueue::mark(Frame& frame) {
  const std::size_t bytes = frame.picture.bytes();
  if (bytes > frame.displayCapacity) {
    // Not zero-filled: the marking writes every byte.
    frame.display.reset(static_cast<unsigned char*>(std::malloc(bytes)));
    frame.displayCapacity = frame.display ? bytes : 0;
    if (!frame.display) return false;
  }
  toolkit::markRegion(frame.picture.pixels(), frame.width(), frame.height(), region_,
                      frame.display.get());
  return true;
}

void FrameQueue::learnStamps() {
  int64_t frames = 0;
  uint64_t stray = 0;
  if (!source_.count(frames, stray)) return;
  if (!relearn_ && frames == static_cast<int64_t>(stamps_.size())) return;
  relearn_ = false;
  source_.stamps(stamps_);  // on damage: the stamps of the frames before it
  timeline_ = toolkit::Timeline();
  times_.clear();
  for (const int32_t stamp : stamps_) times_.push_back(timeline_.add(stamp));
  const std::lock_guard<std::mutex> lock(mutex_);
  frames_ = frames;
}

void FrameQueue::place(Frame& frame) {
  const int32_t stamp = frame.stamp();
  if (!seekable_) {
    frame.time = timeline_.add(stamp);
    frame.step = timeline_.lastStep();
    return;
  }
  const auto index = static_cast<std::size_t>(frame.index());
  if (index < stamps_.size() && stamps_[index] != stamp) relearn_ = true;  // written anew
  if (relearn_ || index >= stamps_.size()) learnStamps();
  // Frames are read in order from a place looked up before, so a frame
  // not counted yet (one being appended) is the next one.
  if (index == stamps_.size()) {
    stamps_.push_back(stamp);
    times_.push_back(timeline_.add(stamp));
  }
  if (index >= stamps_.size()) return;  // a file changing under the reader
  frame.time = times_[index];
  frame.step = index == 0 ? 0 : toolkit::stampDelta(stamps_[index - 1], stamps_[index]);
}

int64_t FrameQueue::resolve(const Target& target) {
  learnStamps();
  const int64_t last = std::max<int64_t>(static_cast<int64_t>(times_.size()) - 1, 0);
  switch (target.kind) {
    case Target::Kind::Index:
      return target.value;
    case Target::Kind::Last:
      return last;
    case Target::Kind::Time:
      break;
  }
  int64_t index = toolkit::framesBetween(times_, target.value, target.value).first;
  if (target.direction > 0) index = std::max(index, target.from + 1);
  if (target.direction < 0) index = std::min(index, target.from - 1);
  return std::clamp<int64_t>(index, 0, last);
}

void FrameQueue::pauseForGrowth(std::unique_lock<std::mutex>& lock) {
  wake_.wait_for(lock, kFollowPoll, [&] { return seekPending_.load(); });
}

bool FrameQueue::beforeStart(const Frame& frame) {
  if (started_) return false;
  const int64_t at = start_.kind == StartPoint::Kind::Index ? frame.index() : frame.time;
  started_ = at >= start_.value;
  return !started_;
}

std::string FrameQueue::failure(Read got) const {
  if (got == Read::End) return "no frames in the stream";
  return readError_.empty() ? source_.error() : readError_;
}

std::unique_ptr<Frame> FrameQueue::spareFrame() {
  if (spare_.empty()) return std::make_unique<Frame>();
  std::unique_ptr<Frame> frame = std::move(spare_.back());
  spare_.pop_back();
  return frame;
}

void FrameQueue::push(std::unique_ptr<Frame> frame) {
  frames_ = std::max(frames_, frame->index() + 1);
  queue_.push_back(Item{Next::Frame, std::move(frame)});
}

bool FrameQueue::finish(Next kind, std::unique_lock<std::mutex>& lock) {
  queue_.push_back(Item{kind, nullptr});
  if (!seekable_) return false;
  wake_.wait(lock, [&] { return seekPending_.load(); });
  return true;
}

}  // namespace rgbplay
