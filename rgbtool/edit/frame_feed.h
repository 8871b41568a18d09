// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Frames of one input copied to an output byte for byte, as a caller
// chooses them one by one (cut, join). A file's frames are found from their
// headers and contiguous runs of chosen frames copied in the kernel; a pipe
// is read once, frame by frame, each chosen frame written once it has
// arrived whole. Frames stop at the first fault: whatever follows a damaged
// frame is `repair`'s business.
#ifndef RGBTOOL_EDIT_FRAME_FEED_H
#define RGBTOOL_EDIT_FRAME_FEED_H

#include <cstdint>
#include <functional>
#include <string>

#include "rgb/rgb.h"
#include "rgbtool/edit/byte_copy.h"
#include "rgbtool/edit/raw_input.h"

namespace rgbtool {
namespace edit {

enum class Choice { Take, Skip, Stop };

// Asked for every frame in order: its index, its time on the continuous
// timeline (ms from frame 0) and its header.
using Chooser = std::function<Choice(int64_t index, int64_t timeMs, const rgb_frame_info& info)>;

struct FeedResult {
  bool haveShape = false;
  rgb_frame_info shape{};  // the input's first frame
  int64_t seen = 0;        // frames offered to the chooser
  int64_t taken = 0;
  int32_t firstTakenStamp = 0;
  int32_t lastTakenStamp = 0;
  bool stopped = false;    // the chooser said Stop
  std::string damage;      // the fault the frames ended at ("frame N: ..."); empty: a clean end
  bool otherShape = false; // stopped because the input's frames differ from `expected`
  std::string error;       // reading or writing failed; nothing more is known
  CopyCount count;
};

// Copies the frames `choose` takes from `in` to `out`. With `expected`, an
// input whose first frame has another shape is refused before anything is
// written. false when reading or writing failed (result.error) or the
// shapes differ; a damaged input is not a failure here (result.damage).
bool feedFrames(RawInput& in, int out, const Chooser& choose, const rgb_frame_info* expected,
                FeedResult& result);

}  // namespace edit
}  // namespace rgbtool

#endif  // RGBTOOL_EDIT_FRAME_FEED_H
