// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool's command line: the program's own options (--help, --version),
// one subcommand per command, usage errors with the nearest valid choice,
// and the run of the command named.
#ifndef RGBTOOL_CLI_COMMAND_LINE_H
#define RGBTOOL_CLI_COMMAND_LINE_H

#include <string>
#include <vector>

#include "rgbtool/cli/command.h"

namespace rgbtool {
namespace cli {

// What the program says of itself in --help and --version.
struct Program {
  const char* name;
  const char* description;
  std::string version;  // the whole line --version prints
  const char* footer;   // after the list of commands in --help
};

// Parses argv into the command it names and runs it; returns the exit
// status (kExitUsage after a usage error, which is reported here).
int runCommandLine(const Program& program, const std::vector<Command>& commands, int argc,
                   char** argv);

// Reports a mistake on the command line that only the command itself can
// see, with where to find the usage; returns kExitUsage.
int usageError(const std::string& message);

}  // namespace cli
}  // namespace rgbtool

#endif  // RGBTOOL_CLI_COMMAND_LINE_H
