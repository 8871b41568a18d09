// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// What --json prints: one JSON object per line.
#ifndef RGBTOOL_TESTS_JSON_LINES_H
#define RGBTOOL_TESTS_JSON_LINES_H

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace rgbtooltest {

// Every line of text parsed; a line that is not one JSON object fails the
// test (and is left out), as does text that does not end in a newline.
inline std::vector<nlohmann::json> jsonLines(const std::string& text) {
  std::vector<nlohmann::json> objects;
  if (!text.empty() && text.back() != '\n') ADD_FAILURE() << "no newline after the last line";
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    if (parsed.is_object()) {
      objects.push_back(parsed);
    } else {
      ADD_FAILURE() << "not one JSON object on a line: " << line;
    }
  }
  return objects;
}

}  // namespace rgbtooltest

#endif  // RGBTOOL_TESTS_JSON_LINES_H
