// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
#include "rgbtool/commands/registry.h"

namespace rgbtool {

const std::vector<cli::Command>& cli::commands() {
  static const std::vector<Command> all{
#define RGBTOOL_COMMAND(name) commands::name##Command(),
#include "rgbtool/commands/list.h"
#undef RGBTOOL_COMMAND
  };
  return all;
}

}  // namespace rgbtool
