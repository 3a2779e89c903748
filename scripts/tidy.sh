#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the libraries' and the host's sources of a configured tree:
#   scripts/tidy.sh [DIR]   (DIR defaults to build; it needs compile_commands.json)
# Exits 0 only when nothing is found: every check is an error (WarningsAsErrors), and a finding
# printed as a warning all the same fails the run too.
set -euo pipefail
dir=${1:-build}
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
run-clang-tidy-14 -p "$dir" -quiet -j "$(nproc)" \
  "$PWD/(core|formats|jobs|geo|workflow|plot|cli)/" \
  > "$log" 2>&1 || status=$?
# run-clang-tidy colours its findings; the count reads them without the colour codes.
sed -i 's/\x1b\[[0-9;]*m//g' "$log"
findings=$(grep -cE '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$log" || true)
if [[ $status -ne 0 || $findings -ne 0 ]]; then
  grep -E -A3 '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$log" || tail -20 "$log"
  echo "clang-tidy: $findings finding(s)" >&2
  exit 1
fi
echo "clang-tidy: clean"
