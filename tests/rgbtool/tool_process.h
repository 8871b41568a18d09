// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Runs rgbtool and other programs as real processes and collects what they
// print and their exit status.
#ifndef RGBTOOL_TESTS_TOOL_PROCESS_H
#define RGBTOOL_TESTS_TOOL_PROCESS_H

#include <string>
#include <vector>

namespace rgbtooltest {

struct Outcome {
  int status = -1;  // exit status; 128 + signal number when killed
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string stdinFile;       // empty: /dev/null
  std::string stdoutFile;      // empty: collected into Outcome::out
  bool stderrTerminal = false;  // stderr on a pseudo-terminal
};

// Runs argv[0] found on PATH (or by path) with the given arguments.
Outcome runProgram(const std::vector<std::string>& argv, const RunOptions& options = {});
// Runs the rgbtool under test.
Outcome runTool(const std::vector<std::string>& args, const RunOptions& options = {});
// Starts rgbtool without waiting; stdout and stderr go to the given files.
int startTool(const std::vector<std::string>& args, const std::string& outFile,
              const std::string& errFile);
// Waits for a started process and returns its exit status.
int waitFor(int pid);

// Full path of a program on PATH, or "" when there is none.
std::string findProgram(const std::string& name);

}  // namespace rgbtooltest

#endif  // RGBTOOL_TESTS_TOOL_PROCESS_H
