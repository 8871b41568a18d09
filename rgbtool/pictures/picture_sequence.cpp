// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/picture_sequence.h"

#include <algorithm>
#include <cstdio>

namespace rgbtool {
namespace {

constexpr const char* kStandardInput = "-";

std::string sizeText(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

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
    } else if (!readImageSize(name, w, h, why)) {
      error = name + ": " + why;
      return false;
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

bool PictureSequence::next(Image& image) {
  while (at_ < names_.size()) {
    if (names_[at_] != kStandardInput) {
      std::string why;
      if (!readImage(names_[at_], image, why)) {
        error_ = label() + ": " + why;
        return false;
      }
      lastAt_ = at_++;
      return true;
    }
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
