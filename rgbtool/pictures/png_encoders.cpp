// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/png_encoders.h"

#include <algorithm>
#include <new>

#include "rgbtool/pictures/image_io.h"

namespace rgbtool {

struct PngEncoders::Slot {
  toolkit::Frame frame;
  std::vector<unsigned char> copy;  // the picture, when it is not the frame's pixels
  std::vector<unsigned char> bytes;
  std::string error;
  bool encoded = false;
  std::string note;
  WorkerPool::Ticket ticket = 0;
};

PngEncoders::PngEncoders(unsigned threads, Finish finish)
    : finish_(std::move(finish)), slots_(std::max(threads, 1u) + 1), pool_(threads) {}

PngEncoders::~PngEncoders() { pool_.cancel(); }

bool PngEncoders::finishOldest() {
  std::unique_ptr<Slot> slot = std::move(busy_.front());
  busy_.pop_front();
  pool_.wait(slot->ticket);
  const bool goesOn = finish_(slot->encoded ? &slot->bytes : nullptr, slot->error, slot->frame, slot->note);
  free_.push_back(std::move(slot));
  return goesOn;
}

toolkit::Frame* PngEncoders::frame() {
  if (!filling_) {
    if (free_.empty() && busy_.size() < slots_) free_.push_back(std::make_unique<Slot>());
    if (free_.empty() && !finishOldest()) return nullptr;
    filling_ = std::move(free_.back());
    free_.pop_back();
  }
  return &filling_->frame;
}

void PngEncoders::encode(const unsigned char* picture, std::string note) {
  Slot* slot = filling_.get();
  const toolkit::Frame& frame = slot->frame;
  if (picture != frame.pixels()) {
    slot->copy.assign(picture, picture + toolkit::kChannels * static_cast<std::size_t>(frame.width()) *
                                             static_cast<std::size_t>(frame.height()));
    picture = slot->copy.data();
  }
  slot->note = std::move(note);
  slot->encoded = false;
  slot->error.clear();
  busy_.push_back(std::move(filling_));
  slot->ticket = pool_.submit([slot, picture] {
    // Nothing may leave a thread of the pool; a failure is the picture's.
    try {
      slot->encoded = encodePng(picture, slot->frame.width(), slot->frame.height(),
                                slot->frame.topRowFirst(), slot->bytes, slot->error);
    } catch (const std::bad_alloc&) {
      slot->encoded = false;
      slot->error = "out of memory";
    }
  });
}

bool PngEncoders::finishAll() {
  while (!busy_.empty())
    if (!finishOldest()) return false;
  return true;
}

}  // namespace rgbtool
