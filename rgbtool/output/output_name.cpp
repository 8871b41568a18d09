// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/output/output_name.h"

#include <cstddef>

namespace rgbtool {
namespace {

constexpr int kMaxPadding = 9;

// Parses a conversion at pattern[at] == '%'. Returns its length and sets
// padding (0 for plain %d), or -1 for a literal "%%", or 0 when invalid.
int conversion(const std::string& pattern, std::size_t at, int& padding) {
  std::size_t i = at + 1;
  if (i < pattern.size() && pattern[i] == '%') return -1;
  padding = 0;
  if (i < pattern.size() && pattern[i] == '0') {
    ++i;
    if (i >= pattern.size() || pattern[i] < '1' || pattern[i] > '9') return 0;
    padding = pattern[i] - '0';
    ++i;
  }
  if (i < pattern.size() && pattern[i] == 'd') return static_cast<int>(i + 1 - at);
  return 0;
}

}  // namespace

bool validFramePattern(const std::string& pattern, std::string& error) {
  int conversions = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') continue;
    int padding = 0;
    const int length = conversion(pattern, i, padding);
    if (length == 0) {
      error = "'" + pattern + "': only %d, %0Nd (N at most " + std::to_string(kMaxPadding) +
              ") and %% may follow a %";
      return false;
    }
    if (length < 0) {
      ++i;
      continue;
    }
    ++conversions;
    i += static_cast<std::size_t>(length) - 1;
  }
  if (conversions != 1) {
    error = "'" + pattern + "' must contain exactly one %d for the frame number";
    return false;
  }
  return true;
}

std::string expandFramePattern(const std::string& pattern, int frame) {
  std::string name;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      name += pattern[i];
      continue;
    }
    int padding = 0;
    const int length = conversion(pattern, i, padding);
    if (length < 0) {
      name += '%';
      ++i;
      continue;
    }
    std::string number = std::to_string(frame);
    if (number.size() < static_cast<std::size_t>(padding))
      number.insert(0, static_cast<std::size_t>(padding) - number.size(), '0');
    name += number;
    i += static_cast<std::size_t>(length) - 1;
  }
  return name;
}

}  // namespace rgbtool
