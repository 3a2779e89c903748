# bash completion for quarnel: the subcommand first, then file names (and the subcommand's options
# after a dash).
_quarnel() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local commands="normalize window-stats hxf-pack hxf-dump info bp-train bp-classify hierarchy feature report run params convert align samples model-units anomaly-table evaluate plot plot-curves wofe fuzzy logistic trees"
  if [ "$COMP_CWORD" -eq 1 ]; then
    mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
    return
  fi
  if [[ $cur == -* ]]; then
    local options
    options=$("${COMP_WORDS[0]}" "${COMP_WORDS[1]}" --help 2>/dev/null | grep -oE -- '--?[A-Za-z][A-Za-z-]*' | sort -u)
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -o filenames -F _quarnel quarnel
