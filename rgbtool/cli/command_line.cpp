// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/cli/command_line.h"

#include <cstdio>

#include "rgbtool/cli/suggestions.h"
#include "rgbtool/report/diagnostics.h"

namespace rgbtool {
namespace cli {
namespace {

std::string commandList(const CLI::App& app) {
  std::string list;
  for (const std::string& name : commandNames(app)) list += (list.empty() ? "" : ", ") + name;
  return list;
}

// The parser's complaint, or the nearer word for an option it did not know.
std::string parseMistake(const CLI::App& app, const CLI::ParseError& error, int argc,
                         char** argv) {
  const CLI::App_p command = app.get_subcommand_ptr(argv[1]);
  const std::string optionSlip = command && dynamic_cast<const CLI::ExtrasError*>(&error)
                                     ? optionMistake(*command, argc, argv, 2)
                                     : std::string();
  return optionSlip.empty() ? error.what() : optionSlip;
}

}  // namespace

int usageError(const std::string& message) {
  report(message);
  std::fprintf(stderr, "Run 'rgbtool --help' or 'rgbtool COMMAND --help' for usage.\n");
  return kExitUsage;
}

int runCommandLine(const Program& program, const std::vector<Command>& commands, int argc,
                   char** argv) {
  CLI::App app{program.description, program.name};
  app.set_version_flag("-V,--version", program.version);
  app.require_subcommand(1);
  std::vector<CLI::App*> subcommands;
  std::vector<Run> runs;
  for (const Command& command : commands) {
    subcommands.push_back(app.add_subcommand(command.name, command.summary));
    runs.push_back(command.declare(*subcommands.back()));
  }
  // Set after the commands, which would otherwise inherit it.
  app.footer(program.footer);

  // The word where a command belongs is judged first, so that a slip there
  // is named rather than reported as a missing command.
  if (argc < 2) return usageError("no command given; the commands are " + commandList(app));
  const std::string commandSlip = commandMistake(app, argv[1]);
  if (!commandSlip.empty()) return usageError(commandSlip);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(e);  // --help or --version
      return kExitOk;
    }
    return usageError(parseMistake(app, e, argc, argv));
  }
  for (std::size_t i = 0; i < subcommands.size(); ++i)
    if (subcommands[i]->parsed()) return runs[i]();
  return usageError("no command given; the commands are " + commandList(app));
}

}  // namespace cli
}  // namespace rgbtool
