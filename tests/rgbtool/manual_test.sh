#!/bin/sh
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# The generated manual pages render with man, each of rgbtool's shows its
# command's options, its EXAMPLES and EXIT STATUS, and the pages of info,
# check and watch every JSON key those commands print; the bash completion
# offers every command and every option each command's --help lists.
# Usage: manual_test.sh RGBTOOL COMPLETION PAGE...
set -u
rgbtool=$1
completion=$2
shift 2
failed=0
fail() {
  echo "FAILED: $*" >&2
  failed=1
}
command -v man >/dev/null || { echo "man is missing: install man-db" >&2; exit 1; }
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

options_of() {
  "$rgbtool" "$@" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u
}
commands=$("$rgbtool" --help | awk '/^Subcommands:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF { print $1 }')
[ -n "$commands" ] || fail "rgbtool --help lists no commands"

# A small stream, for the JSON each command prints: two frames of 2 x 1.
printf 'P6 2 1 255\n\001\002\003\004\005\006' >"$work/a.ppm"
"$rgbtool" import --start-ms 0 --interval-ms 40 "$work/s.rgb" "$work/a.ppm" "$work/a.ppm" 2>/dev/null ||
  fail "cannot make a stream with rgbtool import"
json_keys() {
  case $1 in
    info) "$rgbtool" info --json --frames "$work/s.rgb" ;;
    check) "$rgbtool" check --json "$work/s.rgb" ;;
    watch) "$rgbtool" watch --json - <"$work/s.rgb" ;;
  esac | grep -o '"[a-z_]*":' | tr -d '":' | sort -u
}

[ "$#" -gt 0 ] || fail "no pages given"
for page in "$@"; do
  name=$(basename "$page" .1)
  if ! MANWIDTH=100 man -l "$page" >"$work/out" 2>"$work/err"; then
    fail "$name: man -l failed: $(cat "$work/err")"
    continue
  fi
  [ -s "$work/err" ] && fail "$name: man -l warned: $(cat "$work/err")"
  grep -q '^NAME' "$work/out" || fail "$name: no NAME section"
  case $name in
    rgbtool | rgbtool-*)
      for section in EXAMPLES 'EXIT STATUS'; do
        grep -q "^$section\$" "$work/out" || fail "$name: no $section section"
      done
      ;;
  esac
  case $name in
    rgbtool-*)
      command=${name#rgbtool-}
      options_of "$command" >"$work/options"
      [ -s "$work/options" ] || fail "$name: rgbtool $command --help lists no options"
      while read -r option; do
        grep -q -- "$option" "$work/out" || fail "$name: the page lacks $option"
      done <"$work/options"
      case $command in
        info | check | watch)
          keys=$(json_keys "$command")
          [ -n "$keys" ] || fail "$name: rgbtool $command --json printed no keys"
          for key in $keys; do
            grep -q -- "$key" "$work/out" || fail "$name: the page lacks the JSON key $key"
          done
          ;;
      esac
      ;;
  esac
done
for command in $commands; do
  case " $* " in
    *"/rgbtool-$command.1 "*) ;;
    *) fail "no manual page for rgbtool $command" ;;
  esac
done

# The completion, asked as bash asks it.
complete_words() {
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _rgbtool; echo "${COMPREPLY[*]}"' \
    sh "$completion" "$@"
}
[ "$(complete_words "$rgbtool" expo)" = "export" ] || fail "completion of 'expo': $(complete_words "$rgbtool" expo)"
[ "$(complete_words "$rgbtool" export --format r)" = "raw" ] || fail "completion of --format r"
[ -z "$(complete_words "$rgbtool" export --frame "")" ] || fail "completion offers a value for --frame"
offered=$(complete_words "$rgbtool" "")
for command in $commands; do
  case " $offered " in
    *" $command "*) ;;
    *) fail "completion of 'rgbtool ' lacks $command" ;;
  esac
done
for command in $commands; do
  offered=$(complete_words "$rgbtool" "$command" -)
  for option in $(options_of "$command"); do
    case " $offered " in
      *" $option "*) ;;
      *) fail "completion of 'rgbtool $command -' lacks $option" ;;
    esac
  done
done
exit $failed
