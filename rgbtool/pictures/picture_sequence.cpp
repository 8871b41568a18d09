// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/picture_sequence.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace rgbtool {
namespace {

constexpr const char* kStandardInput = "-";

std::string sizeText(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

PictureSequence::PictureSequence(std::vector<std::string> names, unsigned threads)
    : names_(std::move(names)), window_(std::max(threads, 1u)) {
  if (threads > 0 && names_.size() > 1) pool_ = std::make_unique<WorkerPool>(threads);
}

// The pool goes first: no decode may still be writing into `ahead_`.
PictureSequence::~PictureSequence() { pool_.reset(); }

std::string PictureSequence::label() const {
  if (names_[at_] != kStandardInput) return names_[at_];
  return "standard input, picture " + std::to_string(fromInput_);
}

bool PictureSequence::commonSize(int& width, int& height, std::string& error) {
  std::string first;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    int w = 0;
    int h = 0;
    std::string why;
    std::string name = names_[i];
    if (name == kStandardInput) {
      const NextPicture step = readNextPicture(stdin, peeked_, why);
      if (step == NextPicture::End) why = "no picture on standard input";
      if (step != NextPicture::Read) {
        error = "standard input: " + why;
        return false;
      }
      havePeeked_ = true;
      w = peeked_.width;
      h = peeked_.height;
      name = "the first picture on standard input";
    } else {
      const SizeRead size = readImageSize(name, w, h, why);
      if (size == SizeRead::Failed) {
        error = name + ": " + why;
        return false;
      }
      if (size == SizeRead::WhenDecoded && i > 0) continue;
      if (size == SizeRead::WhenDecoded && !decodeFirst(name, w, h, error)) return false;
    }
    if (i == 0) {
      width = w;
      height = h;
      first = name;
    } else if (w != width || h != height) {
      error = name + " is " + sizeText(w, h) + " but " + first + " is " +
              sizeText(width, height) + ": all pictures must have the same size";
      return false;
    }
  }
  return !names_.empty();
}

// The first picture, decoded for its size and kept for next().
bool PictureSequence::decodeFirst(const std::string& name, int& width, int& height,
                                  std::string& error) {
  auto first = std::make_unique<Ahead>();
  if (!readImage(name, first->image, first->error, layout_)) {
    error = name + ": " + first->error;
    return false;
  }
  first->read = true;
  width = first->image.width;
  height = first->image.height;
  ahead_.push_back(std::move(first));
  aheadAt_ = 1;
  return true;
}

bool PictureSequence::nextFromStandardInput(Image& image) {
  if (havePeeked_) {
    havePeeked_ = false;
    image = std::move(peeked_);
  } else if (inputEnded_) {
    return false;
  } else {
    std::string why;
    const NextPicture step = readNextPicture(stdin, image, why);
    if (step == NextPicture::End) {
      inputEnded_ = true;
      return false;
    }
    if (step == NextPicture::Failed) {
      error_ = label() + ": " + why;
      return false;
    }
  }
  ++fromInput_;
  return true;
}

// Keeps up to `window_` named files decoding, those that follow the one
// now due, up to the next standard input or picture readable only once: a
// pipe is opened in its turn, so that its producer, and a failure before
// it, never wait on a thread blocked in it.
void PictureSequence::decodeAhead() {
  if (!pool_) return;
  aheadAt_ = std::max(aheadAt_, at_);
  while (ahead_.size() < window_ && aheadAt_ < names_.size() &&
         names_[aheadAt_] != kStandardInput && !readableOnce(names_[aheadAt_])) {
    auto job = std::make_unique<Ahead>();
    Ahead* slot = job.get();
    slot->image = std::move(spare_);
    const std::string* name = &names_[aheadAt_++];
    slot->queued = true;
    slot->ticket = pool_->submit([slot, name, layout = layout_] {
      // Nothing may leave a thread of the pool; a failure is the picture's.
      try {
        slot->read = readImage(*name, slot->image, slot->error, layout);
      } catch (const std::bad_alloc&) {
        slot->read = false;
        slot->error = "out of memory";
      }
    });
    ahead_.push_back(std::move(job));
  }
}

bool PictureSequence::nextNamed(Image& image) {
  std::string why;
  bool read = false;
  decodeAhead();
  if (ahead_.empty()) {
    image = std::move(spare_);
    read = readImage(names_[at_], image, why, layout_);
  } else {
    std::unique_ptr<Ahead> done = std::move(ahead_.front());
    ahead_.pop_front();
    if (done->queued) pool_->wait(done->ticket);
    read = done->read;
    image = std::move(done->image);
    why = std::move(done->error);
  }
  if (!read) {
    // The pictures after it are not wanted: nothing of the run is kept.
    if (pool_) pool_->cancel();
    ahead_.clear();
    error_ = label() + ": " + why;
    return false;
  }
  lastAt_ = at_++;
  return true;
}

bool PictureSequence::next(Image& image) {
  // The caller's last picture is done with: its buffer takes the next one
  // to be decoded, rather than count among those held meanwhile.
  spare_ = std::move(image);
  image = {};
  while (at_ < names_.size()) {
    if (names_[at_] != kStandardInput) return nextNamed(image);
    lastAt_ = at_;
    if (nextFromStandardInput(image)) return true;
    if (!error_.empty()) return false;
    ++at_;
  }
  return false;
}

std::size_t PictureSequence::knownTotal() const {
  const bool piped = std::find(names_.begin(), names_.end(), kStandardInput) != names_.end();
  return piped ? 0 : names_.size();
}

}  // namespace rgbtool
