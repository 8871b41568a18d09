// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The intervals between a stream's frames as a line chart in a PNG.
#ifndef RGBTOOL_PICTURES_PLOT_H
#define RGBTOOL_PICTURES_PLOT_H

#include <cstdint>
#include <string>
#include <vector>

#include "rgbtool/pictures/image_io.h"

namespace rgbtool {

constexpr int kPlotWidth = 800;
constexpr int kPlotHeight = 400;

// x: frame index, y: ms since the frame before (taken across the clock's
// wrap). Intervals are joined by a blue line; a stamp earlier than the one
// before shows as a red bar below the grey zero line. On failure error says
// why and nothing takes path's name.
bool writeIntervalPlot(const std::string& path, const std::vector<int32_t>& stamps,
                       std::string& error, const WriteOptions& how);

}  // namespace rgbtool

#endif  // RGBTOOL_PICTURES_PLOT_H
