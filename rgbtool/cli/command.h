// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// A command of rgbtool as its file in commands/ gives it to the program:
// the command's name, a line saying what it does, and a function that
// declares the command's options and returns what runs it.
#ifndef RGBTOOL_CLI_COMMAND_H
#define RGBTOOL_CLI_COMMAND_H

#include <CLI/CLI.hpp>

#include <functional>
#include <vector>

namespace rgbtool {
namespace cli {

// Runs a command once its command line has been parsed into the options it
// declared; returns the exit status.
using Run = std::function<int()>;

struct Command {
  const char* name;
  // One line, a capital first and no full stop: rgbtool --help lists it
  // beside the name and the manual page takes it as the page's NAME.
  const char* summary;
  // Declares the options, positionals and help footer on the command's own
  // subcommand, binding them to options the returned Run owns.
  Run (*declare)(CLI::App& command);
};

// Every command, in the order rgbtool --help lists them.
const std::vector<Command>& commands();

}  // namespace cli
}  // namespace rgbtool

#endif  // RGBTOOL_CLI_COMMAND_H
