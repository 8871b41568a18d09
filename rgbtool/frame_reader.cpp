#include "rgbtool/frame_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "rgb/rgb.h"
#include "rgbtool/diagnostics.h"

namespace rgbtool {

bool FrameReader::failed(const std::string& why) {
  report(name_ + ": " + why);
  return false;
}

bool FrameReader::skipTo(int index) {
  if (index <= 0) return true;
  if (!input_.seekable()) {
    for (int i = 0; i < index; ++i) {
      Frame dropped;
      const Status status = next(dropped);
      if (status == Status::Failed) return false;
      if (status == Status::End)
        return failed("has only " + std::to_string(i) + " frame" + (i == 1 ? "" : "s"));
    }
    return true;
  }
  // The first header tells the frame size; the library judges it when the
  // frame is read, so an unusable one is left for next() to report.
  FILE* stream = input_.get();
  unsigned char bytes[kHeaderBytes];
  if (std::fread(bytes, 1, kHeaderBytes, stream) != kHeaderBytes ||
      !decodeHeader(bytes).valid()) {
    if (fseeko(stream, input_.start(), SEEK_SET) != 0)
      return failed(std::string("cannot seek: ") + std::strerror(errno));
    Frame first;
    if (next(first) != Status::Frame) return false;
    return failed("frame 0 is unusable");
  }
  const Geometry geometry = decodeHeader(bytes).geometry;
  const uint64_t frames = input_.size() / geometry.frameBytes();
  if (static_cast<uint64_t>(index) >= frames)
    return failed("has only " + std::to_string(frames) + " frame" + (frames == 1 ? "" : "s"));
  const uint64_t offset = static_cast<uint64_t>(index) * geometry.frameBytes();
  if (fseeko(stream, input_.start() + static_cast<off_t>(offset), SEEK_SET) != 0)
    return failed(std::string("cannot seek: ") + std::strerror(errno));
  haveFirst_ = true;
  firstWidth_ = geometry.width;
  firstHeight_ = geometry.height;
  nextIndex_ = index;
  return true;
}

FrameReader::Status FrameReader::next(Frame& frame) {
  FILE* stream = input_.get();
  // A stream that ends exactly at a frame boundary has ended cleanly; peek
  // so that the library does not report it as a short header.
  const int c = std::getc(stream);
  if (c == EOF) {
    if (std::ferror(stream)) {
      failed("read error");
      return Status::Failed;
    }
    return Status::End;
  }
  std::ungetc(c, stream);

  unsigned char* pixels = nullptr;
  int* times = nullptr;
  int width = 0;
  int height = 0;
  int result;
  {
    LibraryMessagesToStderr guard;
    result = readRGBTimePipe(stream, &pixels, &width, &height, &times);
  }
  Pixels owned(pixels);
  const int32_t stamp = times ? times[0] : 0;
  std::free(times);
  const int index = nextIndex_++;
  if (result != 1) {
    failed("frame " + std::to_string(index) + " cannot be read");
    return Status::Failed;
  }
  if (!haveFirst_) {
    haveFirst_ = true;
    firstWidth_ = width;
    firstHeight_ = height;
  } else if (width != firstWidth_ || height != firstHeight_) {
    failed("frame " + std::to_string(index) + " is " + std::to_string(width) + " x " +
           std::to_string(height) + ", the first frame " + std::to_string(firstWidth_) +
           " x " + std::to_string(firstHeight_));
    return Status::Failed;
  }
  frame.pixels = std::move(owned);
  frame.width = width;
  frame.height = height;
  frame.stamp = stamp;
  frame.index = index;
  return Status::Frame;
}

}  // namespace rgbtool
