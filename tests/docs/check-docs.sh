#!/usr/bin/env bash
# The documentation's own checks:
#   check-docs.sh commands HOST MAN_PAGE DOCS  every subcommand HOST --help lists has a row
#       [`CMD`](PAGE.md) in DOCS/commands/README.md, PAGE.md holds its synopsis ("    quarnel CMD")
#       and the man page names it (".B quarnel CMD").
#   check-docs.sh links ROOT  every relative link of ROOT/README.md, CONTRIBUTING.md and
#       docs/**/*.md leads to a file or folder that exists and, with #anchor into a Markdown page,
#       to one of its headings.
set -euo pipefail
fail=0
complain() { echo "FAIL: $*"; fail=1; }

check_commands() {
  local host=$1 man_page=$2 docs=$3 listed index page
  listed=$("$host" --help | awk 'tolower($0) ~ /^subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
  [ -n "$listed" ] || { complain "no subcommands in $host --help"; return; }
  index=$docs/commands/README.md
  for command in $listed; do
    page=$(sed -n "s/^| \[\`$command\`\](\([a-z-]*\.md\)) |.*/\1/p" "$index")
    if [ -z "$page" ]; then
      complain "$index: no row [\`$command\`](PAGE.md)"
    elif ! grep -q "^    quarnel $command\( \|\$\)" "$docs/commands/$page"; then
      complain "docs/commands/$page: no synopsis line '    quarnel $command ...'"
    fi
    grep -qx "\.B quarnel $command" "$man_page" || complain "$man_page: no '.B quarnel $command'"
  done
  [ $fail = 1 ] || echo "$(echo "$listed" | wc -l) commands: each has its docs/commands page and its man page synopsis"
}

# GitHub's anchors: the heading's text in lower case, punctuation dropped, blanks as '-'.
anchors_of() {
  sed -n 's/^#\{1,6\} \+//p' "$1" | tr 'A-Z' 'a-z' | sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

check_links() {
  local root=$1 file target path anchor count=0
  while IFS= read -r file; do
    # Links outside code: indented code blocks and code spans are left out.
    while IFS= read -r target; do
      case $target in http://* | https://* | mailto:*) continue ;; esac
      path=${target%%#*}
      anchor=${target#"$path"}
      anchor=${anchor#\#}
      if [ -z "$path" ]; then path=$file; else path=$(dirname "$file")/$path; fi
      count=$((count + 1))
      if [ ! -e "$path" ]; then
        complain "${file#"$root"/}: link to $target: no such file"
      elif [ -n "$anchor" ] && [[ $path == *.md ]] && ! anchors_of "$path" | grep -qx -- "$anchor"; then
        complain "${file#"$root"/}: link to $target: no such heading"
      fi
    done < <(grep -v '^    ' "$file" | sed 's/`[^`]*`//g' | grep -o '\]([^) ]*)' | sed 's/^](//; s/)$//')
  done < <(find "$root/README.md" "$root/CONTRIBUTING.md" "$root/docs" -name '*.md' | sort)
  [ $fail = 1 ] || echo "$count relative links lead to their files and headings"
}

case ${1:-} in
  commands) check_commands "$2" "$3" "$4" ;;
  links) check_links "$2" ;;
  *) echo "usage: $0 commands HOST MAN_PAGE DOCS | links ROOT" >&2; exit 2 ;;
esac
exit $fail
