#!/usr/bin/env bash
# Fails when a DLL imports from anything but the DLLs named:  check-imports.sh OBJDUMP DLL NAME...
# (The trio carries its C and C++ runtimes; what it may import is Windows itself and each other.)
set -euo pipefail
objdump=$1 dll=$2; shift 2
imports=$("$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$imports" ] || { echo "FAIL: $dll has no import directory"; exit 1; }
status=0
for name in $imports; do
  allowed=0
  for a in "$@"; do [ "${name,,}" = "${a,,}" ] && allowed=1; done
  if [ $allowed = 0 ]; then
    echo "FAIL: $dll imports $name"
    status=1
  fi
done
echo "$(basename "$dll") imports:" $imports
exit $status
