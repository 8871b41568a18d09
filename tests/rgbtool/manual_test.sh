#!/bin/sh
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# The generated manual pages render with man, each shows its command's
# options, and the bash completion offers every option each command's --help
# lists.
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
    rgbtool-*)
      command=${name#rgbtool-}
      "$rgbtool" "$command" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u >"$work/options"
      [ -s "$work/options" ] || fail "$name: rgbtool $command --help lists no options"
      while read -r option; do
        grep -q -- "$option" "$work/out" || fail "$name: the page lacks $option"
      done <"$work/options"
      ;;
  esac
done

# The completion, asked as bash asks it.
complete_words() {
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _rgbtool; echo "${COMPREPLY[*]}"' \
    sh "$completion" "$@"
}
[ "$(complete_words rgbtool expo)" = "export" ] || fail "completion of 'expo': $(complete_words rgbtool expo)"
[ "$(complete_words rgbtool export --format r)" = "raw" ] || fail "completion of --format r"
for command in info export import mark watch check video sheet; do
  offered=$(complete_words rgbtool "$command" -)
  for option in $("$rgbtool" "$command" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u); do
    case " $offered " in
      *" $option "*) ;;
      *) fail "completion of 'rgbtool $command -' lacks $option" ;;
    esac
  done
done
exit $failed
