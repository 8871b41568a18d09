// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/pictures/plot.h"

#include <algorithm>
#include <cstdlib>

#include "rgbtool/pictures/image_io.h"
#include "toolkit/stamps.h"
#include "rgbtool/pictures/raster.h"

namespace rgbtool {
namespace {

constexpr Colour kPaper{255, 255, 255};
constexpr Colour kInk{0, 0, 0};
constexpr Colour kGuide{170, 170, 170};
constexpr Colour kLine{0, 90, 200};
constexpr Colour kBackwards{220, 0, 0};

// The chart area inside the picture; labels go in the margins.
constexpr int kLeft = 64;
constexpr int kRight = kPlotWidth - 16;
constexpr int kTop = 20;
constexpr int kBottom = kPlotHeight - 32;

}  // namespace

bool writeIntervalPlot(const std::string& path, const std::vector<int32_t>& stamps,
                       std::string& error, const WriteOptions& how) {
  std::vector<int64_t> intervals;
  for (std::size_t i = 1; i < stamps.size(); ++i)
    intervals.push_back(toolkit::stampDelta(stamps[i - 1], stamps[i]));

  int64_t high = 0;
  int64_t low = 0;
  for (int64_t v : intervals) {
    high = std::max(high, v);
    low = std::min(low, v);
  }
  if (high == low) high = low + 1;
  // A little room above the highest point and below the lowest, so that
  // neither sits on the frame of the chart.
  const double margin = static_cast<double>(high - low) / 10;
  const double top = static_cast<double>(high) + margin;
  const double bottom = low < 0 ? static_cast<double>(low) - margin : 0.0;
  const auto yOf = [&](double v) {
    return kTop + static_cast<int>((top - v) * (kBottom - kTop) / (top - bottom) + 0.5);
  };
  const std::size_t n = intervals.size();
  const auto xOf = [&](std::size_t i) {  // i-th interval, frame i + 1
    if (n < 2) return (kLeft + kRight) / 2;
    return kLeft + static_cast<int>(static_cast<double>(i) * (kRight - kLeft) /
                                        static_cast<double>(n - 1) +
                                    0.5);
  };

  Raster plot(kPlotWidth, kPlotHeight, kPaper);
  const int zero = yOf(0);
  plot.line(kLeft, zero, kRight, zero, kGuide);
  plot.line(kLeft, kTop, kLeft, kBottom, kInk);
  plot.line(kLeft, kBottom, kRight, kBottom, kInk);
  plot.text(4, 4, "interval ms", kInk);
  const auto label = [&](int64_t v) {
    const std::string text = std::to_string(v);
    const int y = yOf(static_cast<double>(v));
    plot.line(kLeft - 4, y, kLeft - 1, y, kInk);
    plot.text(kLeft - 6 - textWidth(text), y - kGlyphHeight / 2, text, kInk);
  };
  label(0);
  if (!intervals.empty()) {
    label(high);
    if (low < 0) label(low);
    // The usual interval too, unless it would sit on another label.
    std::vector<int64_t> sorted = intervals;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(n / 2), sorted.end());
    const int64_t usual = sorted[n / 2];
    const auto apart = [&](int64_t other) {
      return std::abs(yOf(static_cast<double>(usual)) - yOf(static_cast<double>(other))) >=
             2 * kGlyphHeight;
    };
    if (apart(0) && apart(high) && apart(low)) label(usual);
    const std::string first = "1";
    const std::string last = std::to_string(n);
    plot.text(xOf(0) - textWidth(first) / 2, kBottom + 6, first, kInk);
    if (n > 1) plot.text(xOf(n - 1) - textWidth(last) / 2, kBottom + 6, last, kInk);
  }
  plot.text((kLeft + kRight - textWidth("frame")) / 2, kPlotHeight - 12, "frame", kInk);

  for (std::size_t i = 1; i < n; ++i)
    plot.line(xOf(i - 1), yOf(static_cast<double>(intervals[i - 1])), xOf(i),
              yOf(static_cast<double>(intervals[i])), kLine);
  if (n == 1) plot.fill(xOf(0) - 1, yOf(static_cast<double>(intervals[0])) - 1, 3, 3, kLine);
  for (std::size_t i = 0; i < n; ++i) {
    if (intervals[i] >= 0) continue;
    const int y = yOf(static_cast<double>(intervals[i]));
    plot.fill(xOf(i) - 1, zero + 1, 3, y - zero, kBackwards);
  }

  const std::vector<unsigned char> frame = plot.frameOrder();
  return writeImage(path, ImageFormat::Png, frame.data(), plot.width(), plot.height(), error,
                    how);
}

}  // namespace rgbtool
