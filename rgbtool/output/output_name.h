// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Output names for one picture per frame: a %d in the name (optionally
// zero-padded, as %04d) becomes the frame number; %% stands for a %.
#ifndef RGBTOOL_OUTPUT_OUTPUT_NAME_H
#define RGBTOOL_OUTPUT_OUTPUT_NAME_H

#include <string>

namespace rgbtool {

// True when pattern holds exactly one frame-number conversion and no other.
bool validFramePattern(const std::string& pattern, std::string& error);
std::string expandFramePattern(const std::string& pattern, int frame);

}  // namespace rgbtool

#endif  // RGBTOOL_OUTPUT_OUTPUT_NAME_H
