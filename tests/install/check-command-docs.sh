#!/usr/bin/env bash
# Fails when the man page or the bash completion misses a subcommand the host lists in --help, or
# names one it does not have:  check-command-docs.sh HOST MAN_PAGE COMPLETION
set -euo pipefail
host=$1 man_page=$2 completion=$3
listed=$("$host" --help | awk 'tolower($0) ~ /^subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }' | sort)
if [ -z "$listed" ]; then
  echo "FAIL: no subcommands in $host --help"
  exit 1
fi
in_man=$(sed -n 's/^\.B quarnel \([a-z-]*\)$/\1/p' "$man_page" | sort -u)
in_completion=$(sed -n 's/^ *local commands="\(.*\)"$/\1/p' "$completion" | tr ' ' '\n' | sort)
status=0
for pair in "man page:$in_man" "completion:$in_completion"; do
  if [ "${pair#*:}" != "$listed" ]; then
    echo "FAIL: the ${pair%%:*} names other subcommands than the host:"
    diff <(echo "$listed") <(echo "${pair#*:}") || true
    status=1
  fi
done
[ $status = 0 ] && echo "man page and completion name the host's $(echo "$listed" | wc -l) subcommands"
exit $status
