#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh DIR [extra cmake arguments...]
set -euo pipefail
dir=${1:-build}; shift || true
cd "$(dirname "$0")/.."
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir"
