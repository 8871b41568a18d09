// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/edit/frame_map.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "toolkit/frame.h"

namespace rgbtool {
namespace edit {
namespace {

// The search reads this much at a time; consecutive pieces overlap by a
// header less one byte, so that no offset is missed.
constexpr std::size_t kSearchPiece = std::size_t{1} << 20;

std::string bytesWords(uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

class Mapper {
 public:
  Mapper(int fd, off_t start, uint64_t size, MapMode mode, FrameMap& map)
      : fd_(fd), start_(start), size_(size), mode_(mode), map_(map) {}

  bool run() {
    uint64_t at = 0;
    while (at < size_ && !stop_) {
      at = step(at);
      if (!map_.error.empty()) return false;
    }
    return true;
  }

 private:
  // The header at `at`: RGB_OK with its frame's bytes, a rejection, or
  // RGB_ESHORTHEADER when the file ends inside it.
  int headerAt(uint64_t at, rgb_frame_info& info, uint64_t& frameBytes) {
    unsigned char header[RGB_HEADER_BYTES];
    const std::size_t want =
        static_cast<std::size_t>(std::min<uint64_t>(sizeof header, size_ - at));
    if (!readAt(header, want, at)) return RGB_EIO;
    return rgb_header_parse(header, want, &info, &frameBytes);
  }

  bool readAt(unsigned char* into, std::size_t bytes, uint64_t at) {
    std::size_t got = 0;
    while (got < bytes) {
      const ssize_t n = pread(fd_, into + got, bytes - got,
                              start_ + static_cast<off_t>(at + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        map_.error = n == 0 ? "the file was cut short while it was read"
                            : std::string("cannot read: ") + std::strerror(errno);
        return false;
      }
      got += static_cast<std::size_t>(n);
    }
    return true;
  }

  // A frame that starts at `at` and fits in the file.
  bool frameAt(uint64_t at, rgb_frame_info& info, uint64_t& frameBytes, int& status) {
    status = headerAt(at, info, frameBytes);
    return status == RGB_OK && frameBytes <= size_ - at;
  }

  // A frame at `at` that is not followed by the next one may have been cut
  // short by it (a writer that died mid-frame and another that went on):
  // where a frame of the stream's size begins inside it, else its end.
  uint64_t cutShortBy(uint64_t at, uint64_t frameBytes) {
    const uint64_t end = at + frameBytes;
    if (mode_ == MapMode::Clean || end == size_ || isStreamFrame(end)) return end;
    return search(at + 1, end, true);
  }

  bool isStreamFrame(uint64_t at) {
    rgb_frame_info info{};
    uint64_t frameBytes = 0;
    int status = RGB_OK;
    return frameAt(at, info, frameBytes, status) && toolkit::sameShape(info, map_.shape);
  }

  // Looks at `at` and returns where to look next.
  uint64_t step(uint64_t at) {
    rgb_frame_info info{};
    uint64_t frameBytes = 0;
    int status = RGB_OK;
    if (frameAt(at, info, frameBytes, status)) {
      if (!map_.haveShape) {
        map_.haveShape = true;
        map_.shape = info;
        map_.frameBytes = frameBytes;
      }
      if (toolkit::sameShape(info, map_.shape)) {
        const uint64_t next = cutShortBy(at, frameBytes);
        if (next < at + frameBytes) {
          add({at, next - at, 0, Drop::BadHeader, "a frame cut short by the next one",
               rgb_frame_info{}});
          return next;
        }
        keep(at, info.stamp);
      } else {
        add({at, frameBytes, 1, Drop::OtherSize,
             "frames of " + toolkit::describeShape(info) + ", not the stream's " +
                 toolkit::describeShape(map_.shape),
             info});
        if (mode_ == MapMode::Clean) stop_ = true;
      }
      return at + frameBytes;
    }
    if (status == RGB_EIO) return size_;
    return damaged(at, status, frameBytes);
  }

  // A fault at `at`: the bytes up to the next frame are dropped.
  uint64_t damaged(uint64_t at, int status, uint64_t declared) {
    std::string cause;
    Drop kind = Drop::BadHeader;
    if (status == RGB_ESHORTHEADER) {
      kind = Drop::Partial;
      cause = "the file ends inside a frame header";
    } else if (status == RGB_OK) {
      kind = Drop::Partial;
      cause = "the file ends inside a frame (" + bytesWords(size_ - at) + " of " +
              std::to_string(declared) + ")";
    } else {
      cause = std::string("a damaged frame header (") + rgb_strerror(status) + ")";
    }
    uint64_t next = size_;
    if (mode_ == MapMode::Clean) {
      stop_ = true;
    } else {
      next = nextFrame(at);
      if (!map_.error.empty()) return size_;
      if (kind == Drop::Partial && next < size_) {
        kind = Drop::BadHeader;
        cause = "a frame cut short by the next one";
      }
    }
    add({at, next - at, 0, kind, cause, rgb_frame_info{}});
    return next;
  }

  // Where the frames go on after damage at `at`: one frame further, where
  // the next frame belongs; else the first offset holding a frame.
  uint64_t nextFrame(uint64_t at) {
    if (map_.haveShape && map_.frameBytes <= size_ - at && isStreamFrame(at + map_.frameBytes))
      return at + map_.frameBytes;
    if (!map_.error.empty()) return size_;
    return search(at + 1, size_, false);
  }

  // The first offset in [from, to) where a frame begins that fits in the
  // file (and, with `streamSize`, has the stream's size); `to` when none.
  uint64_t search(uint64_t from, uint64_t to, bool streamSize) {
    std::vector<unsigned char> piece;
    for (uint64_t at = from; at < to && size_ - at >= RGB_HEADER_BYTES;) {
      const std::size_t bytes =
          static_cast<std::size_t>(std::min<uint64_t>(kSearchPiece, size_ - at));
      piece.resize(bytes);
      if (!readAt(piece.data(), bytes, at)) return to;
      const std::size_t last =
          static_cast<std::size_t>(std::min<uint64_t>(bytes - RGB_HEADER_BYTES, to - 1 - at));
      for (std::size_t i = 0; i <= last; ++i) {
        rgb_frame_info info{};
        uint64_t frameBytes = 0;
        if (rgb_header_parse(piece.data() + i, RGB_HEADER_BYTES, &info, &frameBytes) == RGB_OK &&
            frameBytes <= size_ - (at + i) &&
            (!streamSize || toolkit::sameShape(info, map_.shape)))
          return at + i;
      }
      at += last + 1;
    }
    return to;
  }

  void keep(uint64_t at, int32_t stamp) {
    map_.stamps.push_back(stamp);
    add({at, map_.frameBytes, 1, Drop::None, {}, rgb_frame_info{}});
  }

  // Adds a stretch, joined to the one before when it continues it alike.
  void add(Stretch stretch) {
    if (!map_.stretches.empty()) {
      Stretch& before = map_.stretches.back();
      if (before.drop == stretch.drop && before.cause == stretch.cause &&
          before.offset + before.bytes == stretch.offset) {
        before.bytes += stretch.bytes;
        before.frames += stretch.frames;
        return;
      }
    }
    map_.stretches.push_back(std::move(stretch));
  }

  int fd_;
  off_t start_;
  uint64_t size_;
  MapMode mode_;
  FrameMap& map_;
  bool stop_ = false;
};

}  // namespace

const Stretch* FrameMap::firstDrop() const {
  for (const Stretch& s : stretches)
    if (!s.kept()) return &s;
  return nullptr;
}

int64_t FrameMap::keptAfterDamage() const {
  int64_t after = 0;
  bool damaged = false;
  for (const Stretch& s : stretches) {
    if (!s.kept()) damaged = true;
    else if (damaged) after += s.frames;
  }
  return after;
}

bool mapFrames(int fd, off_t start, uint64_t size, MapMode mode, FrameMap& map) {
  map = FrameMap{};
  return Mapper(fd, start, size, mode, map).run();
}

}  // namespace edit
}  // namespace rgbtool
