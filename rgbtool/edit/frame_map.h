// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Where the whole frames of a stream file lie, from their headers alone,
// and what lies between them when the file is damaged.
//
// Salvage keeps every whole frame of the stream's size: the size of the
// first valid frame, which is what every reader takes as the stream's.
// After a damaged header the next frame is looked for where it should be
// (one frame further on) and, when it is not there, byte by byte onwards:
// a header the library accepts, of the stream's size, whose frame fits in
// the file. Frames of another size are dropped: a reader stops at the
// first of them, so keeping them would leave every later frame unread.
#ifndef RGBTOOL_EDIT_FRAME_MAP_H
#define RGBTOOL_EDIT_FRAME_MAP_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rgb/rgb.h"

namespace rgbtool {
namespace edit {

// Why a stretch of bytes holds no frame to keep.
enum class Drop {
  None,        // kept
  BadHeader,   // a header the library rejects, and what follows it up to the next frame
  OtherSize,   // a whole frame of another size than the stream's
  Partial,     // the file ends inside a frame (or a header)
};

struct Stretch {
  uint64_t offset = 0;  // from the stream's start
  uint64_t bytes = 0;
  int64_t frames = 0;   // whole frames (kept, or dropped as another size)
  Drop drop = Drop::None;
  std::string cause;    // in words, for a dropped stretch
  rgb_frame_info shape{};  // the dropped frames' shape, for OtherSize
  bool kept() const { return drop == Drop::None; }
};

struct FrameMap {
  bool haveShape = false;  // a valid frame was found
  rgb_frame_info shape{};  // the stream's frames (stamp: the first kept one's)
  uint64_t frameBytes = 0;
  std::vector<Stretch> stretches;  // in file order, covering the file
  std::vector<int32_t> stamps;     // one per kept frame
  std::string error;               // a read that failed; the map is then unusable

  int64_t keptFrames() const { return static_cast<int64_t>(stamps.size()); }
  // The first dropped stretch, or null for a clean stream.
  const Stretch* firstDrop() const;
  // Frames kept after the first dropped stretch.
  int64_t keptAfterDamage() const;
};

enum class MapMode {
  Clean,   // stop at the first fault: the frames before it, then the fault
  Salvage  // the whole file, every whole frame of the stream's size found
};

// Maps `size` bytes of the regular file `fd` from `start`; false when a read
// failed (map.error says why).
bool mapFrames(int fd, off_t start, uint64_t size, MapMode mode, FrameMap& map);

}  // namespace edit
}  // namespace rgbtool

#endif  // RGBTOOL_EDIT_FRAME_MAP_H
