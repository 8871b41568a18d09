// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "timeline.h"

#include <algorithm>

namespace rgbstream {

void Timeline::extend(const py::array_t<int32_t, py::array::c_style | py::array::forcecast>& stamps) {
  if (stamps.ndim() != 1) throw py::value_error("stamps must be one-dimensional");
  const int32_t* stamp = stamps.data();
  const auto count = static_cast<std::size_t>(stamps.shape(0));
  times_.reserve(times_.size() + count);
  for (std::size_t n = 0; n < count; ++n) times_.push_back(timeline_.add(stamp[n]));
}

py::array_t<int64_t> Timeline::times() const {
  py::array_t<int64_t> times(static_cast<py::ssize_t>(times_.size()));
  std::copy(times_.begin(), times_.end(), times.mutable_data());
  return times;
}

py::tuple Timeline::between(int64_t from, int64_t to) const {
  const toolkit::FrameSpan span = toolkit::framesBetween(times_, from, to);
  return py::make_tuple(span.first, span.count);
}

}  // namespace rgbstream
