// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/edit/edited_output.h"

#include "rgbtool/report/diagnostics.h"

namespace rgbtool {
namespace edit {

bool EditedOutput::open(const std::string& path, bool replace,
                        const std::vector<std::string>& inputs) {
  path_ = path;
  toolkit::OutputRules rules;
  rules.overwrite = replace;
  rules.inputs = inputs;
  rules.durable = true;
  if (output_.open(path, rules)) return true;
  report(path + ": " + output_.error());
  return false;
}

bool EditedOutput::commit() {
  if (output_.commit()) return true;
  report(path_ + ": " + output_.error());
  return false;
}

}  // namespace edit
}  // namespace rgbtool
