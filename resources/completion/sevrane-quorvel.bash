# Bash completion for sevrane-cli and quorvel-cli: the options as each program's --help lists
# them, the values of the options that take a fixed set, and the files each one reads.
_sevrane_quorvel() {
  local cur prev words cword split
  _init_completion -s || return

  # The values of a radio-button option are listed in --help as "--NAME A|B|C".
  local values
  values=$("$1" --help 2>/dev/null | sed -n "s/^  $prev \([^ ]*|[^ ]*\).*/\1/p" | tr '|' ' ')
  if [[ -n $values ]]; then
    COMPREPLY=($(compgen -W "$values" -- "$cur"))
    return
  fi
  case $prev in
    --tempo | --time-base | --note-start | --threads | --start | --length)
      return
      ;;
  esac
  $split && return

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_parse_help "$1")" -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  case $1 in
    *quorvel-cli) _filedir '@(dat|DAT)' ;;
    *) _filedir ;;
  esac
}
complete -F _sevrane_quorvel sevrane-cli quorvel-cli
