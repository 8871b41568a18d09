// Reads frames one at a time through the library's single-frame reader:
// only the frames asked for are loaded, each into a buffer of its own size.
#ifndef RGBTOOL_FRAME_READER_H
#define RGBTOOL_FRAME_READER_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "rgbtool/frame_header.h"
#include "rgbtool/input.h"

namespace rgbtool {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using Pixels = std::unique_ptr<unsigned char, FreeDeleter>;

// One frame: interleaved RGB, row 0 first (the bottom row of the picture).
struct Frame {
  Pixels pixels;
  int width = 0;
  int height = 0;
  int32_t stamp = 0;
  int index = 0;
};

class FrameReader {
 public:
  enum class Status { Frame, End, Failed };

  // name is used in messages; input must stay open while the reader lives.
  FrameReader(InputStream& input, std::string name)
      : input_(input), name_(std::move(name)) {}

  // Positions the reader at frame index: seeks in regular files, reads
  // through on pipes. Reports and returns false when there is no such frame.
  bool skipTo(int index);
  // Reads the next frame. End means the stream ended cleanly at a frame
  // boundary; Failed has been reported.
  Status next(Frame& frame);

 private:
  bool failed(const std::string& why);

  InputStream& input_;
  std::string name_;
  int nextIndex_ = 0;
  bool haveFirst_ = false;
  int firstWidth_ = 0;
  int firstHeight_ = 0;
};

}  // namespace rgbtool

#endif  // RGBTOOL_FRAME_READER_H
