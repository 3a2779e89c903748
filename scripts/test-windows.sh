#!/usr/bin/env bash
# Installs the Windows toolchain and wine, cross-builds the DLL trio into build-win, builds the
# Linux twin of the test host in build (the Release tree scripts/test.sh makes) and runs the
# Windows suite: export table, imports, resources, every job under wine in a fresh wine prefix,
# and the comparison of every output file with the Linux build's (text files' CRLF read as LF).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
lap() { echo "== $1 after $(($(date +%s) - started)) s"; }

scripts/setup-windows.sh
lap "toolchain and wine installed"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target quarnel quarnel_host
lap "Linux twin built"

scripts/build-windows.sh build-win -DQUARNEL_LINUX_HOST="$PWD/build/quarnel_host"
lap "Windows DLLs built"

(cd build-win && ctest --output-on-failure -j2)
lap "Windows suite run"
