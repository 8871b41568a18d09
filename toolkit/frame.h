// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A frame in memory, and the words for its shape and for a failure to
// read it.
#ifndef TOOLKIT_FRAME_H
#define TOOLKIT_FRAME_H

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

#include "rgb/rgb.h"

namespace toolkit {

// Interleaved pixels have three channels, whatever the stream stores.
constexpr std::size_t kChannels = 3;

// Memory handed to or taken from C code comes from malloc.
struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }
};
using Pixels = std::unique_ptr<unsigned char, FreeDeleter>;

// One frame as a FrameSource read it: its header and its pixels in the
// layout of the source's flags (RGB_TOP_ROW_FIRST, RGB_PLANAR). The buffer
// comes from malloc and grows only as a frame's bytes arrive
// (rgb_reader_next_grow), never with what a header merely declares; it is
// kept from frame to frame.
class Frame {
 public:
  Frame() = default;
  ~Frame() { std::free(pixels_); }
  Frame(Frame&& other) noexcept;
  Frame& operator=(Frame&& other) noexcept;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  unsigned char* pixels() { return pixels_; }
  const unsigned char* pixels() const { return pixels_; }
  std::size_t capacity() const { return capacity_; }
  const rgb_frame_info& info() const { return info_; }
  int width() const { return info_.width; }
  int height() const { return info_.height; }
  int32_t stamp() const { return info_.stamp; }
  int64_t index() const { return info_.index; }
  int flags() const { return flags_; }
  bool topRowFirst() const { return (flags_ & RGB_TOP_ROW_FIRST) != 0; }
  bool planar() const { return (flags_ & RGB_PLANAR) != 0; }
  // The bytes the pixels take in this layout.
  std::size_t bytes() const { return rgb_frame_bytes(&info_, flags_); }
  // Frees the buffer (a frame kept but not needed for a while).
  void release();

 private:
  friend class FrameSource;
  unsigned char* pixels_ = nullptr;
  std::size_t capacity_ = 0;
  rgb_frame_info info_{};
  int flags_ = 0;
};

// "RGB" or "RGBA".
const char* planeName(int planes);
// "1920 x 1080 RGB".
std::string describeShape(const rgb_frame_info& info);
// Same width, height and planes.
bool sameShape(const rgb_frame_info& a, const rgb_frame_info& b);

// "frame N: <detail>": the library's words for a failed call (or the
// status's, when it has none), with the system's reason for RGB_EIO and
// RGB_EOPEN added when they lack it. Words that already begin with the
// frame's number are kept as they are.
std::string frameFailure(int64_t index, const std::string& detail, int status, int savedErrno);

}  // namespace toolkit

#endif  // TOOLKIT_FRAME_H
