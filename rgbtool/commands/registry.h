// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The function each command's file defines, one per line of
// commands/list.h.
#ifndef RGBTOOL_COMMANDS_REGISTRY_H
#define RGBTOOL_COMMANDS_REGISTRY_H

#include "rgbtool/cli/command.h"

namespace rgbtool {
namespace commands {

#define RGBTOOL_COMMAND(name) cli::Command name##Command();
#include "rgbtool/commands/list.h"
#undef RGBTOOL_COMMAND

}  // namespace commands
}  // namespace rgbtool

#endif  // RGBTOOL_COMMANDS_REGISTRY_H
