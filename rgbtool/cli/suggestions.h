// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Usage errors that name the mistake and the nearest valid choice: a
// mistyped command or option is answered with the one it most likely meant.
#ifndef RGBTOOL_CLI_SUGGESTIONS_H
#define RGBTOOL_CLI_SUGGESTIONS_H

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace rgbtool {
namespace cli {

// The candidate nearest to word when it is near enough to be a slip; empty
// when none is.
std::string nearest(const std::string& word, const std::vector<std::string>& candidates);

std::vector<std::string> commandNames(const CLI::App& app);

// Checks the word where a command belongs; empty when it is one (or an
// option the program itself takes).
std::string commandMistake(const CLI::App& app, const std::string& word);

// After a failed parse: the first argument of a command from argv[from] on
// that is no option of it, with the nearest option; empty when there is none.
std::string optionMistake(const CLI::App& command, int argc, char** argv, int from);

}  // namespace cli
}  // namespace rgbtool

#endif  // RGBTOOL_CLI_SUGGESTIONS_H
