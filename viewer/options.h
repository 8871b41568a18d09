// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The viewer's command line: at most one option naming the frame file.
#ifndef ZU_KORVE_OPTIONS_H
#define ZU_KORVE_OPTIONS_H

#include <cstddef>
#include <string>

namespace zu_korve {

constexpr const char* kDefaultInputName = "image.rgb";
// The longest input name taken; a longer one is refused rather than cut,
// since a cut name could open a different file.
constexpr std::size_t kMaxInputName = 255;
// Returned by parseCommandLine when the program goes on.
constexpr int kContinue = -1;

// Reads the options into inputName (left at its default when none names a
// file) and checks the argument count. Returns kContinue to go on, or the
// exit status after printing what that outcome prints.
int parseCommandLine(int argc, char** argv, std::string& inputName);

}  // namespace zu_korve

#endif  // ZU_KORVE_OPTIONS_H
