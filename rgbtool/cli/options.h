// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Option declarations that several commands share: whole numbers with
// messages that say what is wanted, and the frame selection and picture
// output of export and mark.
#ifndef RGBTOOL_CLI_OPTIONS_H
#define RGBTOOL_CLI_OPTIONS_H

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

#include "rgbtool/output/frame_output.h"

namespace rgbtool {
namespace cli {

constexpr int64_t kMaxFrameNumber = 2147483647;

// Accepts decimal digits only, from min to max: "1e3", "0x10", "+5" and
// "-1" are refused with a message that names the allowed values, so that a
// number is never read differently from how it was meant.
CLI::Validator wholeNumber(int64_t min, int64_t max, const std::string& unit);

// --frame, --all, --start, --count and --step: one frame, or a run of them.
// what: "export", "mark", ... for the help text.
void addFrameSelectionOptions(CLI::App& command, FrameSelection& selection,
                              const std::string& what);

// The frame selection, --format, --overwrite, FILE and OUT.
void addFrameOutputOptions(CLI::App& command, FrameOutputOptions& options,
                           const std::string& what);

}  // namespace cli
}  // namespace rgbtool

#endif  // RGBTOOL_CLI_OPTIONS_H
