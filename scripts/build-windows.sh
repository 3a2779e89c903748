#!/usr/bin/env bash
# Cross-builds the 32-bit Windows DLL trio (Quarnel.dll, IHXF.dll, Kor.dll) and its test host:
#   scripts/build-windows.sh [DIR [extra cmake arguments...]]   (DIR defaults to build-win)
set -euo pipefail
dir=${1:-build-win}; shift || true
cd "$(dirname "$0")/.."
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake "$@" >/dev/null
cmake --build "$dir"
