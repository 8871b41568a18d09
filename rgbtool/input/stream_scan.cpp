// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/input/stream_scan.h"

#include <cstdio>
#include <cstdlib>

#include "rgb/rgb.h"
#include "rgbtool/edit/frame_map.h"
#include "rgbtool/edit/salvage_words.h"
#include "rgbtool/input/input.h"
#include "toolkit/frame.h"

namespace rgbtool {
namespace {

class Scanner {
 public:
  Scanner(InputStream& input, StreamScan& out) : input_(input), out_(out) {}
  ~Scanner() {
    if (reader_) rgb_reader_close(reader_);
  }
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;

  void run() {
    const int opened = rgb_reader_from_file(&reader_, input_.get());
    if (opened != RGB_OK) {
      out_.damage = readerFailure(nullptr, opened);
      return;
    }
    rgb_frame_info first{};
    const int status = rgb_reader_info(reader_, &first);
    if (status != RGB_OK) {
      firstFailed(status);
      return;
    }
    out_.geometry = Geometry{first.width, first.height, first.planes};
    out_.haveGeometry = true;
    if (input_.seekable()) {
      headers();
      if (!out_.damage.empty() || out_.strayBytes > 0) salvage();
    } else {
      frames();
    }
  }

 private:
  void firstFailed(int status) {
    if (status == RGB_END) {
      out_.damage = input_.seekable() ? "empty file" : "empty stream";
    } else if (status == RGB_ESHORTHEADER && input_.seekable()) {
      out_.damage = "too short for a frame header (" + std::to_string(input_.size()) + " bytes)";
    } else {
      out_.damage = readerFailure(reader_, status);
    }
  }

  // A frame of another size: says how it differs where the stream can go
  // back to it (the reader leaves it at the frame's start).
  std::string sizeChange() {
    const std::string words = readerFailure(reader_, RGB_ESIZECHANGE);
    if (!input_.seekable()) return words;
    rgb_reader* look = nullptr;
    rgb_frame_info info{};
    const bool known = rgb_reader_from_file(&look, input_.get()) == RGB_OK &&
                       rgb_reader_info(look, &info) == RGB_OK;
    if (look) rgb_reader_close(look);
    if (!known) return words;
    return "frame " + std::to_string(out_.stamps.size()) + ": " +
           describe(Geometry{info.width, info.height, info.planes}) +
           " differs from the first frame's " + describe(out_.geometry);
  }

  // What follows the fault in a damaged file, as repair finds it; and a
  // whole frame of another size after the last frame is a size change, not
  // stray bytes.
  void salvage() {
    edit::FrameMap map;
    if (!edit::mapFrames(fileno(input_.get()), input_.start(), input_.size(),
                         edit::MapMode::Salvage, map))
      return;
    const edit::Stretch* fault = map.firstDrop();
    // Frames of another size that end the file, right after the last frame.
    out_.tailIsFrame = fault && fault->drop == edit::Drop::OtherSize &&
                       fault->offset == out_.stamps.size() * out_.frameBytes &&
                       fault->offset + fault->bytes == input_.size();
    if (out_.damage.empty()) {
      if (!out_.tailIsFrame) return;
      out_.damage = "frame " + std::to_string(out_.stamps.size()) + ": " +
                    toolkit::describeShape(fault->shape) + " differs from the first frame's " +
                    toolkit::describeShape(map.shape);
    }
    out_.wholeAfterDamage = map.keptAfterDamage();
    out_.repairKeeps = map.keptFrames();
  }

  void failedAt(int status) {
    out_.damage = status == RGB_ESIZECHANGE ? sizeChange() : readerFailure(reader_, status);
  }

  // Regular files: frames counted from the size, each stamp from its header
  // alone.
  void headers() {
    int64_t count = 0;
    const int counted = rgb_reader_count(reader_, &count, &out_.strayBytes);
    if (counted != RGB_OK) {
      failedAt(counted);
      return;
    }
    if (count > 0)
      out_.frameBytes = (input_.size() - out_.strayBytes) / static_cast<uint64_t>(count);
    out_.stamps.reserve(static_cast<std::size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
      rgb_frame_info info{};
      int status = rgb_reader_seek(reader_, i);
      if (status == RGB_OK) status = rgb_reader_peek(reader_, &info);
      if (status != RGB_OK) {
        failedAt(status);
        return;
      }
      out_.stamps.push_back(info.stamp);
    }
  }

  // Pipes: every frame read whole, as it arrives. The buffer grows with
  // the bytes that came, never with what a header only declares.
  void frames() {
    unsigned char* pixels = nullptr;
    std::size_t capacity = 0;
    for (;;) {
      rgb_frame_info info{};
      const int status = rgb_reader_next_grow(reader_, &pixels, &capacity, RGB_PLANAR, &info);
      if (status == RGB_OK) {
        out_.stamps.push_back(info.stamp);
        continue;
      }
      if (status != RGB_END) failedAt(status);
      break;
    }
    std::free(pixels);
  }

  InputStream& input_;
  StreamScan& out_;
  rgb_reader* reader_ = nullptr;
};

}  // namespace

std::string StreamScan::problem() const {
  if (!opened) return damage;
  std::string why = damage;
  if (why.empty() && stamps.empty() && strayBytes == 0) why = "no whole frame";
  if (wholeAfterDamage >= 0) why += "; " + edit::followersWords(wholeAfterDamage, repairKeeps);
  if (strayBytes > 0 && !tailIsFrame) {
    if (!why.empty()) why += "; ";
    why += std::to_string(strayBytes) + (stamps.empty() ? " bytes, less than one whole frame"
                                                        : " stray bytes after the last frame");
  }
  return why;
}

std::vector<toolkit::StampFault> StreamScan::stampWarnings() const {
  return toolkit::stampFaults(stamps);
}

StreamScan scanStream(const std::string& path) {
  StreamScan result;
  InputStream input;
  if (!input.open(path, InputStream::Use::Headers)) {
    result.damage = input.error();
    return result;
  }
  result.opened = true;
  Scanner(input, result).run();
  return result;
}

}  // namespace rgbtool
