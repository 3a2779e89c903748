#!/usr/bin/env bash
# Compares the export directory of a DLL, in its stored name order, with the expected names:
#   check-exports.sh OBJDUMP DLL EXPECTED
set -euo pipefail
objdump=$1 dll=$2 expected=$3
actual=$(mktemp) wanted=$(mktemp)
trap 'rm -f "$actual" "$wanted"' EXIT
"$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' >"$actual"
grep -v '^#' "$expected" | cut -f1 >"$wanted"
if ! diff -u "$wanted" "$actual"; then
  echo "FAIL: the export table of $dll differs from $expected (- expected, + actual)"
  exit 1
fi
echo "$(wc -l <"$actual") exports match, in order"
