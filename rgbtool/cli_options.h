// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// Command-line pieces shared by the subcommands: whole-number options with
// messages that say what is wanted, frame selection options, and the nearest
// valid name for a mistyped command or option.
#ifndef RGBTOOL_CLI_OPTIONS_H
#define RGBTOOL_CLI_OPTIONS_H

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "rgbtool/commands.h"

namespace rgbtool {
namespace cli {

constexpr int64_t kMaxFrameNumber = 2147483647;

// Accepts decimal digits only, from min to max: "1e3", "0x10", "+5" and
// "-1" are refused with a message that names the allowed values, so that a
// number is never read differently from how it was meant.
inline CLI::Validator wholeNumber(int64_t min, int64_t max, const std::string& unit) {
  const std::string range = "a whole number of " + unit + " from " + std::to_string(min) +
                            " to " + std::to_string(max);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        const bool digits = !text.empty() && text.size() <= 19 &&
                            std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        if (!digits) return "'" + text + "' is not " + range + " (digits only)";
        const long long value = std::stoll(text);
        if (value < min) return "'" + text + "' is too small: " + range;
        if (value > max) return "'" + text + "' is too large: " + range;
        return std::string();
      },
      "");
}

// --frame, --all, --start, --count and --step: one frame, or a run of them.
// what: "export", "mark", ... for the help text.
inline void addFrameSelectionOptions(CLI::App* command, FrameSelection& selection,
                                     const std::string& what) {
  auto* frame = command->add_option("-f,--frame", selection.frame,
                                    "Number of the one frame to " + what + " (default 0)");
  frame->check(wholeNumber(0, kMaxFrameNumber, "frames"));
  auto* all = command->add_flag("-a,--all", selection.all, "Every frame");
  auto marksRange = [&selection](const std::string&) { selection.range = true; };
  auto* start = command->add_option("--start", selection.start,
                                    "First frame of a run of frames (default 0)");
  start->check(wholeNumber(0, kMaxFrameNumber, "frames"))->each(marksRange);
  auto* count = command->add_option("--count", selection.count,
                                    "Frames in the run at most (default: up to the end)");
  count->check(wholeNumber(1, kMaxFrameNumber, "frames"))->each(marksRange);
  auto* step = command->add_option("--step", selection.step,
                                    "Every Nth frame of the run (default 1)");
  step->check(wholeNumber(1, kMaxFrameNumber, "frames"))->each(marksRange);
  for (CLI::Option* other : {all, start, count, step}) frame->excludes(other);
}

// Edit distance, for suggestions.
inline std::size_t distance(const std::string& a, const std::string& b) {
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

// The candidate nearest to word when it is near enough to be a slip.
inline std::string nearest(const std::string& word, const std::vector<std::string>& candidates) {
  const auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
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

inline std::vector<std::string> commandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
  return names;
}

inline std::vector<std::string> optionNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& n : option->get_lnames()) names.push_back("--" + n);
    for (const std::string& n : option->get_snames()) names.push_back("-" + n);
  }
  return names;
}

// Checks the word where a command belongs; empty when it is one (or an
// option the program itself takes).
inline std::string commandMistake(const CLI::App& app, const std::string& word) {
  const std::vector<std::string> commands = commandNames(app);
  if (word.size() > 1 && word[0] == '-') {
    std::vector<std::string> options = optionNames(app);
    if (std::find(options.begin(), options.end(), word) != options.end()) return "";
    const std::string near = nearest(word, options);
    return "unknown option '" + word + "'" +
           (near.empty() ? "" : "; did you mean '" + near + "'?");
  }
  if (std::find(commands.begin(), commands.end(), word) != commands.end()) return "";
  if (word == "version" || word == "help") return "unknown command '" + word +
                                                   "'; did you mean '--" + word + "'?";
  const std::string near = nearest(word, commands);
  if (!near.empty()) return "unknown command '" + word + "'; did you mean '" + near + "'?";
  std::string list;
  for (const std::string& c : commands) list += (list.empty() ? "" : ", ") + c;
  return "unknown command '" + word + "'; the commands are " + list;
}

// After a failed parse: the first argument of a command that is no option of
// it, with the nearest option; empty when there is none.
inline std::string optionMistake(const CLI::App& command, int argc, char** argv, int from) {
  const std::vector<std::string> options = optionNames(command);
  for (int i = from; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--") break;
    if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9')) continue;
    const std::size_t equals = word.find('=');
    if (equals != std::string::npos) word.resize(equals);
    if (word[1] != '-' && word.size() > 2) word.resize(2);  // -fVALUE, -qa
    if (std::find(options.begin(), options.end(), word) != options.end()) continue;
    const std::string near = nearest(word, options);
    return "unknown option '" + word + "' for " + command.get_name() +
           (near.empty() ? "" : "; did you mean '" + near + "'?");
  }
  return "";
}

}  // namespace cli
}  // namespace rgbtool

#endif  // RGBTOOL_CLI_OPTIONS_H
