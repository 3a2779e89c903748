#!/usr/bin/env bash
# Demangles every decorated export name of the expected list with llvm-undname and checks that it
# stands for the member signature written beside it:  check-undname.sh UNDNAME EXPECTED
set -euo pipefail
undname=$1 expected=$2
failures=0 checked=0
while IFS=$'\t' read -r name signature; do
  [ -n "$signature" ] || continue
  demangled=$("$undname" "$name" | sed -n '2p')
  checked=$((checked + 1))
  if [ "$demangled" != "$signature" ]; then
    echo "FAIL: $name"
    echo "  demangles to: $demangled"
    echo "  expected:     $signature"
    failures=$((failures + 1))
  fi
done < <(grep -v '^#' "$expected")
[ "$checked" -gt 0 ] || { echo "FAIL: no decorated names in $expected"; exit 1; }
echo "$((checked - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
