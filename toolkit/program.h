// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The conventions every program of the project keeps: exit statuses,
// messages on stderr that begin with the program's name, and one version
// string (the project's).
#ifndef TOOLKIT_PROGRAM_H
#define TOOLKIT_PROGRAM_H

#include <string>

namespace toolkit {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the work failed
constexpr int kExitUsage = 2;    // the command line was wrong

// The name messages begin with ("rgbtool", "rgbplay"); set once at start.
void setProgramName(const std::string& name);
const std::string& programName();

// The project's version, "MAJOR.MINOR.PATCH".
const char* projectVersion();
// What -V/--version prints: "<program> <version>".
std::string versionLine();

// "<program>: <message>" and a newline on stderr. Standard output is
// flushed first, so that results and messages keep their order on a
// terminal.
void report(const std::string& message);
// As report, with ": <the system's reason for errnum>" appended.
void reportErrno(const std::string& message, int errnum);

}  // namespace toolkit

#endif  // TOOLKIT_PROGRAM_H
