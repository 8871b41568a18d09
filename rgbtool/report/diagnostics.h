// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Messages and exit statuses shared by every subcommand.
#ifndef RGBTOOL_REPORT_DIAGNOSTICS_H
#define RGBTOOL_REPORT_DIAGNOSTICS_H

#include <string>

namespace rgbtool {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Prints "rgbtool: <message>" and a newline on stderr.
void report(const std::string& message);
// As report, with ": <strerror(errnum)>" appended.
void reportErrno(const std::string& message, int errnum);

}  // namespace rgbtool

#endif  // RGBTOOL_REPORT_DIAGNOSTICS_H
