// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// rgbtool's commands, one line each, in the order rgbtool --help lists
// them. RGBTOOL_COMMAND(name) stands for commands/name.cpp, which defines
// cli::Command commands::nameCommand(). The build reads this list too: for
// the sources and for a manual page per command.
RGBTOOL_COMMAND(info)
RGBTOOL_COMMAND(export)
RGBTOOL_COMMAND(import)
RGBTOOL_COMMAND(cut)
RGBTOOL_COMMAND(join)
RGBTOOL_COMMAND(repair)
RGBTOOL_COMMAND(record)
RGBTOOL_COMMAND(mark)
RGBTOOL_COMMAND(watch)
RGBTOOL_COMMAND(video)
RGBTOOL_COMMAND(sheet)
RGBTOOL_COMMAND(check)
