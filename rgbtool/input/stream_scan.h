// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// One judgement of a frame stream, shared by info and check: its frames'
// stamps from their headers alone where the stream can be seeked (pixels are
// read, and dropped, only on pipes), what lies after the last whole frame,
// and the first fault.
#ifndef RGBTOOL_INPUT_STREAM_SCAN_H
#define RGBTOOL_INPUT_STREAM_SCAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "rgbtool/input/stream_shape.h"
#include "toolkit/stamps.h"

namespace rgbtool {

struct StreamScan {
  bool opened = false;
  bool haveGeometry = false;  // the first header was accepted
  Geometry geometry;
  uint64_t frameBytes = 0;      // bytes a frame takes in the stream; 0: unknown
  std::vector<int32_t> stamps;  // one per whole, valid frame, in order
  uint64_t strayBytes = 0;      // bytes after the last whole frame
  std::string damage;           // the first fault found; empty when none

  // Everything wrong with the stream in words; empty for a clean stream.
  std::string problem() const;
  bool clean() const { return problem().empty(); }
  std::vector<toolkit::StampFault> stampWarnings() const;
};

// Scans path ("-" is standard input, from where it stands).
StreamScan scanStream(const std::string& path);

}  // namespace rgbtool

#endif  // RGBTOOL_INPUT_STREAM_SCAN_H
