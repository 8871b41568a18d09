// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "toolkit/frame.h"

#include <cstring>
#include <utility>

namespace toolkit {
namespace {

constexpr int kRgbaPlanes = 4;

bool startsWithFrame(const std::string& words, int64_t index) {
  const std::string prefix = "frame " + std::to_string(index);
  if (words.compare(0, prefix.size(), prefix) != 0) return false;
  return words.size() == prefix.size() || words[prefix.size()] == ':' ||
         words[prefix.size()] == ' ';
}

}  // namespace

Frame::Frame(Frame&& other) noexcept
    : pixels_(std::exchange(other.pixels_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      info_(other.info_),
      flags_(other.flags_) {}

Frame& Frame::operator=(Frame&& other) noexcept {
  if (this != &other) {
    std::free(pixels_);
    pixels_ = std::exchange(other.pixels_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    info_ = other.info_;
    flags_ = other.flags_;
  }
  return *this;
}

void Frame::release() {
  std::free(pixels_);
  pixels_ = nullptr;
  capacity_ = 0;
}

const char* planeName(int planes) { return planes == kRgbaPlanes ? "RGBA" : "RGB"; }

std::string describeShape(const rgb_frame_info& info) {
  return std::to_string(info.width) + " x " + std::to_string(info.height) + " " +
         planeName(info.planes);
}

bool sameShape(const rgb_frame_info& a, const rgb_frame_info& b) {
  return a.width == b.width && a.height == b.height && a.planes == b.planes;
}

std::string frameFailure(int64_t index, const std::string& detail, int status, int savedErrno) {
  std::string words = detail.empty() ? std::string(rgb_strerror(status)) : detail;
  if ((status == RGB_EIO || status == RGB_EOPEN) && savedErrno != 0) {
    const std::string reason = std::strerror(savedErrno);
    if (words.find(reason) == std::string::npos) words += ": " + reason;
  }
  if (startsWithFrame(words, index)) return words;
  return "frame " + std::to_string(index) + ": " + words;
}

}  // namespace toolkit
