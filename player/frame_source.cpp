// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "player/frame_source.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

namespace rgbplay {
namespace {

// Frames decoded ahead of the one shown: enough to cover a slow read while
// playing, few enough that a 1920 x 1080 stream stays within tens of MB.
constexpr std::size_t kQueueDepth = 3;
// How often a followed file is looked at again once its end is reached.
constexpr std::chrono::milliseconds kFollowPoll(40);

std::string describe(int status, int savedErrno) {
  std::string reason = rgb_strerror(status);
  if ((status == RGB_EOPEN || status == RGB_EIO) && savedErrno != 0)
    reason += std::string(" (") + std::strerror(savedErrno) + ")";
  return reason;
}

bool endsEarly(int status) {
  return status == RGB_END || status == RGB_ESHORTHEADER || status == RGB_ETRUNCATED;
}

}  // namespace

FrameSource::FrameSource(rgb_reader* reader, int64_t frames, bool follow,
                         const toolkit::MarkingRegion& region)
    : reader_(reader), seekable_(true), follow_(follow), region_(region), frames_(frames) {}

FrameSource::FrameSource(std::string path, const toolkit::MarkingRegion& region)
    : path_(std::move(path)), region_(region) {}

void FrameSource::start() {
  // Detached: the process ends from the GLUT thread, possibly while this
  // thread waits in a read that only the producer can finish.
  std::thread([this] { run(); }).detach();
}

Next FrameSource::next() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return queue_.empty() ? Next::Nothing : queue_.front().kind;
}

const Frame* FrameSource::peek(std::size_t position) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (position >= queue_.size() || queue_[position].kind != Next::Frame) return nullptr;
  return queue_[position].frame.get();
}

std::unique_ptr<Frame> FrameSource::take() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty() || queue_.front().kind != Next::Frame) return nullptr;
  std::unique_ptr<Frame> frame = std::move(queue_.front().frame);
  queue_.pop_front();
  wake_.notify_all();
  return frame;
}

void FrameSource::recycle(std::unique_ptr<Frame> frame) {
  if (!frame) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  spare_.push_back(std::move(frame));
}

std::string FrameSource::error() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

int64_t FrameSource::frames() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

void FrameSource::seek(const Target& target) {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (Item& item : queue_)
    if (item.frame) spare_.push_back(std::move(item.frame));
  queue_.clear();
  ++generation_;
  seekPending_ = true;
  seekTo_ = target;
  wake_.notify_all();
}

std::string FrameSource::startAt(const StartPoint& start) {
  start_ = start;
  started_ = false;
  if (!seekable_) return "";
  indexFrames();
  if (reaches(start)) return "";
  if (follow_) return "";  // the thread waits for the file to get there
  const int64_t frames = static_cast<int64_t>(times_.size());
  if (start.kind == StartPoint::Kind::Index)
    return "--start " + describe(start) + ": the stream has " + std::to_string(frames) +
           (frames == 1 ? " frame" : " frames");
  return "--start " + describe(start) + " is after the last frame (at " +
         describe(StartPoint{StartPoint::Kind::Time, times_.empty() ? 0 : times_.back()}) + ")";
}

bool FrameSource::reaches(const StartPoint& start) const {
  const int64_t frames = static_cast<int64_t>(times_.size());
  if (start.kind == StartPoint::Kind::Index) return start.value < frames;
  return frames > 0 && start.value <= times_.back();
}

void FrameSource::indexFrames() {
  int64_t count = 0;
  if (rgb_reader_count(reader_, &count, nullptr) != RGB_OK) return;
  for (auto k = static_cast<int64_t>(stamps_.size()); k < count; ++k) {
    rgb_frame_info info{};
    // A buffer of no bytes: the reader stops at the header and keeps the
    // frame next, so only the header is read.
    if (rgb_reader_seek(reader_, k) != RGB_OK ||
        rgb_reader_next(reader_, nullptr, 0, 0, &info) != RGB_ECAPACITY)
      break;
    stamps_.push_back(info.stamp);
    times_.push_back(timeline_.add(info.stamp));
  }
  rgb_reader_seek(reader_, position_);
  const std::lock_guard<std::mutex> lock(mutex_);
  frames_ = std::max(frames_, static_cast<int64_t>(stamps_.size()));
}

int64_t FrameSource::resolve(const Target& target) {
  indexFrames();
  const auto last = static_cast<int64_t>(times_.size()) - 1;
  switch (target.kind) {
    case Target::Kind::Index:
      return target.value;
    case Target::Kind::Last:
      return std::max<int64_t>(last, 0);
    case Target::Kind::Time:
      break;
  }
  int64_t index = toolkit::framesBetween(times_, target.value, target.value).first;
  if (target.direction > 0) index = std::max(index, target.from + 1);
  if (target.direction < 0) index = std::min(index, target.from - 1);
  return std::clamp<int64_t>(index, 0, std::max<int64_t>(last, 0));
}

void FrameSource::run() {
  if (!seekable_ && !openLive()) return;
  rgb_frame_info first{};
  if (!firstFrame(&first)) return;
  readFrames(first);
}

bool FrameSource::openLive() {
  int status = RGB_OK;
  if (path_ == "-")
    status = rgb_reader_from_file(&reader_, stdin);
  else
    status = rgb_reader_open(&reader_, path_.c_str());
  if (status == RGB_OK) return true;
  const int savedErrno = errno;
  std::unique_lock<std::mutex> lock(mutex_);
  error_ = describe(status, savedErrno);
  finish(Next::Error, lock);
  return false;
}

bool FrameSource::firstFrame(rgb_frame_info* first) {
  for (;;) {
    const int status = rgb_reader_info(reader_, first);
    const int savedErrno = errno;
    std::unique_lock<std::mutex> lock(mutex_);
    if (status == RGB_OK) {
      if (first->width > 0 && first->height > 0) return true;
      error_ = "pictures of " + std::to_string(first->width) + " x " +
               std::to_string(first->height) + " pixels cannot be shown";
    } else if (endsEarly(status) && seekable_ && follow_) {
      wake_.wait_for(lock, kFollowPoll);
      continue;
    } else if (status == RGB_END) {
      finish(Next::End, lock);
      return false;
    } else {
      error_ = describe(status, savedErrno);
    }
    // Without a first frame there is nothing to seek to.
    queue_.push_back(Item{Next::Error, nullptr});
    return false;
  }
}

std::unique_ptr<Frame> FrameSource::blankFrame(const rgb_frame_info& first) {
  auto frame = std::make_unique<Frame>();
  const std::size_t bytes = rgb_frame_bytes(&first, 0);
  frame->width = first.width;
  frame->height = first.height;
  frame->input.resize(bytes);
  frame->display.resize(bytes);
  return frame;
}

void FrameSource::readFrames(const rgb_frame_info& first) {
  std::unique_lock<std::mutex> lock(mutex_);
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
      // A target past the end keeps the position; the GLUT thread asks only
      // for frames it has seen counted.
      const int64_t index = resolve(target);
      if (rgb_reader_seek(reader_, index) == RGB_OK) position_ = index;
      lock.lock();
      continue;
    }
    if (!awaitStart(lock)) continue;
    const uint64_t generation = generation_;
    std::unique_ptr<Frame> frame;
    if (!spare_.empty()) {
      frame = std::move(spare_.back());
      spare_.pop_back();
    }
    lock.unlock();

    int status = RGB_OK;
    int savedErrno = 0;
    rgb_frame_info info{};
    try {
      if (!frame) frame = blankFrame(first);
    } catch (const std::bad_alloc&) {
      status = RGB_ENOMEM;
    }
    if (status == RGB_OK) {
      status = rgb_reader_next(reader_, frame->input.data(), frame->input.size(), 0, &info);
      savedErrno = errno;
    }
    if (status == RGB_OK) {
      place(*frame, info);
      toolkit::markRegion(frame->input.data(), frame->width, frame->height, region_,
                           frame->display.data());
    }

    lock.lock();
    if (generation != generation_) {  // a seek came meanwhile: not wanted
      if (frame) spare_.push_back(std::move(frame));
      continue;
    }
    if (status == RGB_OK) {
      if (!beforeStart(frame)) push(std::move(frame));
      continue;
    }
    if (frame) spare_.push_back(std::move(frame));
    if (endsEarly(status) && seekable_ && follow_) {
      // A frame still being appended is not damage: the reader has gone
      // back to its header, so the same read is simply tried again.
      wake_.wait_for(lock, kFollowPoll, [&] { return seekPending_; });
      continue;
    }
    if (status == RGB_END && !started_) {
      status = RGB_ERANGE;
      error_ = "the stream ended before --start " + describe(start_);
    } else if (status != RGB_END) {
      error_ = describe(status, savedErrno);
    }
    if (!finish(status == RGB_END ? Next::End : Next::Error, lock)) return;
  }
}

void FrameSource::place(Frame& frame, const rgb_frame_info& info) {
  frame.index = info.index;
  frame.stamp = info.stamp;
  position_ = info.index + 1;
  if (!seekable_) {
    frame.time = timeline_.add(info.stamp);
    frame.step = timeline_.lastStep();
    return;
  }
  // Frames are read in order from a place looked up before, so a frame not
  // looked up yet (one appended since) is the next one.
  const auto index = static_cast<std::size_t>(info.index);
  if (index == stamps_.size()) {
    stamps_.push_back(info.stamp);
    times_.push_back(timeline_.add(info.stamp));
  }
  frame.time = times_.at(index);
  frame.step = index == 0 ? 0 : toolkit::stampDelta(stamps_[index - 1], stamps_[index]);
}

bool FrameSource::awaitStart(std::unique_lock<std::mutex>& lock) {
  if (started_ || !seekable_) return true;
  lock.unlock();
  indexFrames();
  const bool reached = reaches(start_);
  if (reached) {
    const Target target{start_.kind == StartPoint::Kind::Index ? Target::Kind::Index
                                                                : Target::Kind::Time,
                        start_.value};
    const int64_t index = resolve(target);
    if (rgb_reader_seek(reader_, index) == RGB_OK) position_ = index;
  }
  lock.lock();
  if (reached) {
    started_ = true;
    return true;
  }
  // Only a followed file gets here (startAt refused the others): wait for
  // it to grow, answering seeks meanwhile.
  wake_.wait_for(lock, kFollowPoll, [&] { return seekPending_; });
  return false;
}

bool FrameSource::beforeStart(std::unique_ptr<Frame>& frame) {
  if (started_) return false;
  if (start_.kind == StartPoint::Kind::Index) {
    if (frame->index >= start_.value) {
      started_ = true;
      return false;
    }
    spare_.push_back(std::move(frame));
    return true;
  }
  if (frame->time < start_.value) {
    spare_.push_back(std::move(frame));
    return true;
  }
  started_ = true;
  return false;
}

void FrameSource::push(std::unique_ptr<Frame> frame) {
  frames_ = std::max(frames_, frame->index + 1);
  queue_.push_back(Item{Next::Frame, std::move(frame)});
}

bool FrameSource::finish(Next kind, std::unique_lock<std::mutex>& lock) {
  queue_.push_back(Item{kind, nullptr});
  if (!seekable_) return false;
  wake_.wait(lock, [&] { return seekPending_; });
  return true;
}

}  // namespace rgbplay
