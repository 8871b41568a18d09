// Walks a frame stream header by header without loading pixels: seeks past
// the pixel data of regular files, reads through it on pipes. Serves info
// and check.
#ifndef RGBTOOL_STREAM_SCAN_H
#define RGBTOOL_STREAM_SCAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "rgbtool/frame_header.h"

namespace rgbtool {

struct StreamScan {
  bool opened = false;
  bool haveGeometry = false;  // the first header was accepted
  Geometry geometry;
  std::vector<int32_t> stamps;  // one per whole, valid frame, in order
  uint64_t strayBytes = 0;      // bytes after the last whole frame
  std::string damage;           // the first fault found; empty when none

  bool clean() const {
    return opened && damage.empty() && strayBytes == 0 && !stamps.empty();
  }
};

// Scans path ("-" is standard input). The library's own messages about a
// rejected header appear on stderr; the findings are in the result.
StreamScan scanStream(const std::string& path);

}  // namespace rgbtool

#endif  // RGBTOOL_STREAM_SCAN_H
