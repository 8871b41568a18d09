// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/cli/suggestions.h"

#include <algorithm>
#include <cctype>

namespace rgbtool {
namespace cli {
namespace {

// Edit distance.
std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> optionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& n : option->get_lnames()) names.push_back("--" + n);
    for (const std::string& n : option->get_snames()) names.push_back("-" + n);
  }
  return names;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string listed(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  return list;
}

}  // namespace

std::string nearest(const std::string& word, const std::vector<std::string>& candidates) {
  std::string best;
  std::size_t bestDistance = 0;
  for (const std::string& c : candidates) {
    // A slip of the shift key is nearer than any other letter.
    const std::size_t d = lower(word) == lower(c) ? 0 : distance(word, c);
    if (best.empty() || d < bestDistance) {
      best = c;
      bestDistance = d;
    }
  }
  const std::size_t allowed = std::max<std::size_t>(2, word.size() / 3);
  return bestDistance <= allowed ? best : std::string();
}

std::vector<std::string> commandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
  return names;
}

std::string commandMistake(const CLI::App& app, const std::string& word) {
  const std::vector<std::string> commands = commandNames(app);
  if (word.size() > 1 && word[0] == '-') {
    const std::vector<std::string> options = optionNames(app);
    if (contains(options, word)) return "";
    const std::string near = nearest(word, options);
    return "unknown option '" + word + "'" +
           (near.empty() ? "" : "; did you mean '" + near + "'?");
  }
  if (contains(commands, word)) return "";
  if (word == "version" || word == "help")
    return "unknown command '" + word + "'; did you mean '--" + word + "'?";
  const std::string near = nearest(word, commands);
  if (!near.empty()) return "unknown command '" + word + "'; did you mean '" + near + "'?";
  return "unknown command '" + word + "'; the commands are " + listed(commands);
}

std::string optionMistake(const CLI::App& command, int argc, char** argv, int from) {
  const std::vector<std::string> options = optionNames(command);
  for (int i = from; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--") break;
    if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9')) continue;
    const std::size_t equals = word.find('=');
    if (equals != std::string::npos) word.resize(equals);
    if (word[1] != '-' && word.size() > 2) word.resize(2);  // -fVALUE, -qa
    if (contains(options, word)) continue;
    const std::string near = nearest(word, options);
    return "unknown option '" + word + "' for " + command.get_name() +
           (near.empty() ? "" : "; did you mean '" + near + "'?");
  }
  return "";
}

}  // namespace cli
}  // namespace rgbtool
