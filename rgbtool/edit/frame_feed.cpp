// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/edit/frame_feed.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "rgbtool/edit/frame_map.h"
#include "toolkit/frame.h"
#include "toolkit/stamps.h"
#include "toolkit/write_all.h"

namespace rgbtool {
namespace edit {
namespace {

std::string frameWords(int64_t index, const std::string& words) {
  return "frame " + std::to_string(index) + ": " + words;
}

std::string otherShapeWords(const rgb_frame_info& found, const rgb_frame_info& stream) {
  return "frames of " + toolkit::describeShape(found) + ", not the stream's " +
         toolkit::describeShape(stream);
}

void noteTaken(FeedResult& result, int32_t stamp) {
  if (result.taken == 0) result.firstTakenStamp = stamp;
  result.lastTakenStamp = stamp;
  ++result.taken;
}

// The frames end at a fault before frame `index`. The chooser may have
// everything it wants already (its range ends there): the fault is then no
// concern of the caller's. The damaged frame's time is not known; it is no
// earlier than the last good frame's.
void endAtFault(FeedResult& result, const Chooser& choose, int64_t index, int64_t lastTime,
                std::string words) {
  rgb_frame_info unknown{};
  unknown.index = index;
  if (choose(index, lastTime, unknown) == Choice::Stop) {
    result.stopped = true;
  } else {
    result.damage = frameWords(index, words);
  }
}

// Runs of consecutive chosen frames: first index and count.
using Runs = std::vector<std::pair<int64_t, int64_t>>;

void addToRuns(Runs& runs, int64_t index) {
  if (!runs.empty() && runs.back().first + runs.back().second == index) {
    ++runs.back().second;
  } else {
    runs.emplace_back(index, 1);
  }
}

bool feedFile(RawInput& in, int out, const Chooser& choose, const rgb_frame_info* expected,
              FeedResult& result) {
  FrameMap map;
  if (!mapFrames(in.fd(), in.start(), in.size(), MapMode::Clean, map)) {
    result.error = map.error;
    return false;
  }
  result.haveShape = map.haveShape;
  result.shape = map.shape;
  if (expected && map.haveShape && !toolkit::sameShape(map.shape, *expected)) {
    result.otherShape = true;
    return false;
  }
  toolkit::Timeline timeline;
  Runs runs;
  for (std::size_t i = 0; i < map.stamps.size(); ++i) {
    rgb_frame_info info = map.shape;
    info.stamp = map.stamps[i];
    info.index = static_cast<int64_t>(i);
    const int64_t time = timeline.add(info.stamp);
    ++result.seen;
    const Choice choice = choose(info.index, time, info);
    if (choice == Choice::Stop) {
      result.stopped = true;
      break;
    }
    if (choice == Choice::Take) {
      addToRuns(runs, info.index);
      noteTaken(result, info.stamp);
    }
  }
  const Stretch* fault = map.firstDrop();
  if (!result.stopped && fault)
    endAtFault(result, choose, map.keptFrames(), timeline.last(), fault->cause);
  for (const auto& [first, count] : runs) {
    const off_t offset = in.start() + static_cast<off_t>(static_cast<uint64_t>(first) * map.frameBytes);
    if (!copyRange(in.fd(), offset, static_cast<uint64_t>(count) * map.frameBytes, out,
                   result.count, result.error))
      return false;
  }
  return true;
}

// One frame of a pipe after its header: read whole, then written or dropped.
bool passPixels(RawInput& in, int out, const unsigned char* header, uint64_t pixelBytes,
                bool take, std::vector<unsigned char>& pixels, FeedResult& result,
                bool& ended) {
  if (!takeBytes(in.fd(), pixelBytes, take ? &pixels : nullptr, ended, result.error))
    return ended;
  if (!take) return true;
  if (!toolkit::writeAll(out, header, RGB_HEADER_BYTES) ||
      !toolkit::writeAll(out, pixels.data(), pixels.size())) {
    result.error = std::string("cannot write: ") + std::strerror(errno);
    return false;
  }
  result.count.copiedBytes += RGB_HEADER_BYTES + pixels.size();
  return true;
}

bool feedPipe(RawInput& in, int out, const Chooser& choose, const rgb_frame_info* expected,
              FeedResult& result) {
  toolkit::Timeline timeline;
  std::vector<unsigned char> pixels;
  for (int64_t index = 0;; ++index) {
    unsigned char header[RGB_HEADER_BYTES];
    const ssize_t got = readFully(in.fd(), header, sizeof header);
    if (got < 0) {
      result.error = std::string("cannot read: ") + std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    rgb_frame_info info{};
    uint64_t frameBytes = 0;
    const int status =
        rgb_header_parse(header, static_cast<std::size_t>(got), &info, &frameBytes);
    if (status != RGB_OK) {
      endAtFault(result, choose, index, timeline.last(),
                 status == RGB_ESHORTHEADER
                     ? "the stream ends inside a frame header"
                     : std::string("a damaged frame header (") + rgb_strerror(status) + ")");
      return true;
    }
    if (!result.haveShape) {
      result.haveShape = true;
      result.shape = info;
      if (expected && !toolkit::sameShape(info, *expected)) {
        result.otherShape = true;
        return false;
      }
    } else if (!toolkit::sameShape(info, result.shape)) {
      endAtFault(result, choose, index, timeline.last(), otherShapeWords(info, result.shape));
      return true;
    }
    info.index = index;
    const int64_t time = timeline.add(info.stamp);
    ++result.seen;
    const Choice choice = choose(index, time, info);
    if (choice == Choice::Stop) {
      result.stopped = true;
      return true;
    }
    bool ended = false;
    const bool take = choice == Choice::Take;
    if (!passPixels(in, out, header, frameBytes - RGB_HEADER_BYTES, take, pixels, result, ended))
      return false;
    if (ended) {
      result.damage = frameWords(index, "the stream ends inside the frame");
      return true;
    }
    if (take) noteTaken(result, info.stamp);
  }
}

}  // namespace

bool feedFrames(RawInput& in, int out, const Chooser& choose, const rgb_frame_info* expected,
                FeedResult& result) {
  return in.regular() ? feedFile(in, out, choose, expected, result)
                      : feedPipe(in, out, choose, expected, result);
}

}  // namespace edit
}  // namespace rgbtool
