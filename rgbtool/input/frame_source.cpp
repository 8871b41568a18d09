// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/input/frame_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace rgbtool {

FrameSource::~FrameSource() {
  if (reader_) rgb_reader_close(reader_);
}

std::string FrameSource::reason(int status, const char* what) const {
  std::string text = what;
  if (!text.empty()) text += ": ";
  text += rgb_strerror(status);
  if (status == RGB_EOPEN || status == RGB_EIO) text += std::string(" (") + std::strerror(errno) + ")";
  return text;
}

bool FrameSource::open(const std::string& path, std::string& error) {
  const int opened =
      path == "-" ? rgb_reader_from_file(&reader_, stdin) : rgb_reader_open(&reader_, path.c_str());
  if (opened != RGB_OK) {
    error = reason(opened, "");
    return false;
  }
  const int status = rgb_reader_info(reader_, &first_);
  if (status == RGB_END) {
    error = "no whole frame";
    return false;
  }
  if (status != RGB_OK) {
    error = reason(status, "frame 0");
    return false;
  }
  int64_t frames = 0;
  uint64_t stray = 0;
  if (rgb_reader_count(reader_, &frames, &stray) == RGB_OK) total_ = frames;
  return true;
}

FrameSource::Status FrameSource::next(std::vector<unsigned char>& pixels, rgb_frame_info& info,
                                      std::string& error) {
  pixels.resize(rgb_frame_bytes(&first_, 0));
  const int status =
      rgb_reader_next(reader_, pixels.data(), pixels.size(), RGB_TOP_ROW_FIRST, &info);
  if (status == RGB_END) return Status::End;
  if (status != RGB_OK) {
    error = reason(status, ("frame " + std::to_string(nextIndex_)).c_str());
    return Status::Failed;
  }
  ++nextIndex_;
  return Status::Frame;
}

FrameSource::Status FrameSource::skipTo(int64_t index, std::vector<unsigned char>& scratch,
                                        std::string& error) {
  if (index <= nextIndex_) return Status::Frame;
  if (total_ >= 0) {
    // Past the end, stop at the end so that next() tells a clean end from a
    // cut-off last frame.
    if (index > total_) index = total_;
    const int status = rgb_reader_seek(reader_, index);
    if (status != RGB_OK) {
      error = reason(status, ("frame " + std::to_string(index)).c_str());
      return Status::Failed;
    }
    nextIndex_ = index;
    return Status::Frame;
  }
  rgb_frame_info info{};
  while (nextIndex_ < index) {
    const Status status = next(scratch, info, error);
    if (status != Status::Frame) return status;
  }
  return Status::Frame;
}

}  // namespace rgbtool
