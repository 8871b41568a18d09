// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The toolkit's stamp rules for Python: a stream's stamps unwrapped onto the
// continuous timeline, and frames found on it by time. Python never
// re-derives the cycle; every program measures time by these same rules.
#ifndef RGBSTREAM_TIMELINE_H
#define RGBSTREAM_TIMELINE_H

#include <pybind11/numpy.h>

#include <cstdint>
#include <vector>

#include "toolkit/stamps.h"

namespace rgbstream {

namespace py = pybind11;

class Timeline {
 public:
  // Adds the stamps of the next frames ((F,) int32).
  void extend(const py::array_t<int32_t, py::array::c_style | py::array::forcecast>& stamps);
  std::size_t frames() const { return times_.size(); }
  // Every frame's time in milliseconds from the first frame: (F,) int64.
  py::array_t<int64_t> times() const;
  // The frame shown at time t: -1 before the first frame.
  int64_t at(int64_t t) const { return toolkit::frameAt(times_, t); }
  // The frames whose time lies in [from, to): (first, count).
  py::tuple between(int64_t from, int64_t to) const;

 private:
  toolkit::Timeline timeline_;
  std::vector<int64_t> times_;
};

}  // namespace rgbstream

#endif  // RGBSTREAM_TIMELINE_H
