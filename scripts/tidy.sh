#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the libraries' and the host's sources of a configured tree:
#   scripts/tidy.sh [DIR]   (DIR defaults to build; it needs compile_commands.json)
set -euo pipefail
dir=${1:-build}
cd "$(dirname "$0")/.."
exec run-clang-tidy-14 -p "$dir" -quiet -j "$(nproc)" \
  "$PWD/(core|formats|jobs|geo|workflow|plot|cli)/"
