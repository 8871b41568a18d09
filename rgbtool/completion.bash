# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# bash completion for rgbtool. The commands and their options are read from
# rgbtool's own --help, so that the completion knows every command and
# option of the rgbtool being completed.

# The option lines of a --help: "NAME" for a flag, "NAME=" for an option
# that takes a value, "NAME=a b c" when --help lists the values.
_rgbtool_options() {
  "$@" --help 2>/dev/null | awk '
    /^Options:/ { on = 1; next }
    /^[^ ]/ { on = 0 }
    on && /^  -/ {
      flags = $1
      value = ($2 ~ /^[A-Z]+(:|$)/) ? "=" : ""
      if (match($2, /:\{[^}]*\}/)) value = "=" substr($2, RSTART + 2, RLENGTH - 3)
      gsub(/,/, " ", value)
      n = split(flags, names, ",")
      for (i = 1; i <= n; i++) print names[i] value
    }'
}

_rgbtool_commands() {
  "$1" --help 2>/dev/null | awk '/^Subcommands:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF { print $1 }'
}

_rgbtool() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD-1]}
  local program=${COMP_WORDS[0]/#\~/$HOME}
  if [[ $COMP_CWORD -eq 1 ]]; then
    local top
    top=$(_rgbtool_options "$program" | sed 's/=.*//')
    COMPREPLY=($(compgen -W "$(_rgbtool_commands "$program") $top" -- "$cur"))
    return
  fi
  local command=${COMP_WORDS[1]}
  [[ $command == -* ]] && return
  local lines line names=()
  lines=$(_rgbtool_options "$program" "$command")
  [[ -n $lines ]] || return
  while IFS= read -r line; do
    names+=("${line%%=*}")
    if [[ $line == *=* && ${line%%=*} == "$prev" ]]; then
      # After an option that takes a value: its values when --help lists
      # them, else nothing to offer.
      COMPREPLY=($(compgen -W "${line#*=}" -- "$cur"))
      return
    fi
  done <<<"$lines"
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "${names[*]}" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}
complete -o filenames -o bashdefault -F _rgbtool rgbtool
