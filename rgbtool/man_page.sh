#!/bin/sh
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Makes a manual page with help2man from a program's own --help, or from
# the --help of one of its commands, so that the page never drifts from the
# options. NAME empty takes the page's NAME line from the first line of
# --help (a command's summary).
# Usage: man_page.sh HELP2MAN OUTPUT VERSION NAME PROGRAM [COMMAND [INCLUDE]]
# INCLUDE: a help2man include file (sections --help does not give).
set -eu
help2man=$1 output=$2 version=$3 name=$4
RGB_MAN_PROGRAM=$5
RGB_MAN_COMMAND=${6-}
include=${7-}
export RGB_MAN_PROGRAM RGB_MAN_COMMAND

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# help2man names the page after the program it runs: rgbtool-info runs
# 'rgbtool info'. --help says "Exit status:" as a reader expects it;
# help2man makes a section of its own (EXIT STATUS) only of a line
# "*Exit status*", so the help it reads says that instead.
page=$(basename "$output" .1)
cat >"$work/$page" <<'WRAPPER'
#!/bin/sh
"$RGB_MAN_PROGRAM" ${RGB_MAN_COMMAND:+"$RGB_MAN_COMMAND"} "$@" 2>&1 |
  sed 's/^Exit status:$/*Exit status*/'
WRAPPER
chmod +x "$work/$page"

if [ -z "$name" ]; then
  # "Frames, size ... of streams." -> "frames, size ... of streams"
  name=$("$work/$page" --help | sed -n '1{s/\.$//;s/^./\L&/;p;}')
fi
"$help2man" --no-info --no-discard-stderr "--name=$name" "--version-string=$version" \
  ${include:+"--include=$include"} "--output=$output" "$work/$page"
