# bash completion for rgbtool
_rgbtool() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD-1]}
  if [[ $COMP_CWORD -eq 1 ]]; then
    COMPREPLY=($(compgen -W "info export import mark watch check video sheet --help --version" -- "$cur"))
    return
  fi
  local options
  case ${COMP_WORDS[1]} in
    info) options="--frames --json --plot --help" ;;
    export | mark) options="--frame --all --start --count --step --format --overwrite --help" ;;
    import) options="--start-ms --interval-ms --new --start --help" ;;
    watch) options="--json --follow --from-start --help" ;;
    check) options="--quiet --strict --json --help" ;;
    video) options="--crf --codec --help" ;;
    sheet) options="--every --columns --tile-width --help" ;;
    *) return ;;
  esac
  case $prev in
    --format)
      COMPREPLY=($(compgen -W "png ppm raw" -- "$cur"))
      return
      ;;
    -f | --frame | --start | --count | --step | --start-ms | --interval-ms | --crf | --codec | --every | --columns | --tile-width)
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}
complete -o filenames -o bashdefault -F _rgbtool rgbtool
