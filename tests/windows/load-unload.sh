#!/usr/bin/env bash
# Loads and unloads the library through the host, in an empty WORKDIR, and fails when that leaves
# a file behind there or in the library's folder:  load-unload.sh WORKDIR LIBRARY_DIR HOST_COMMAND...
set -euo pipefail
workdir=$1 library_dir=$2; shift 2
rm -rf "$workdir"
mkdir -p "$workdir"
before=$(ls -A "$library_dir")
(cd "$workdir" && "$@" load-unload)
left=$(ls -A "$workdir")
after=$(ls -A "$library_dir")
if [ -n "$left" ] || [ "$before" != "$after" ]; then
  echo "FAIL: files left behind:"
  printf '%s\n' "$left"
  diff <(printf '%s\n' "$before") <(printf '%s\n' "$after") || true
  exit 1
fi
echo "loaded and unloaded; nothing left behind"
