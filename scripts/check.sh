#!/usr/bin/env bash
# Configures and builds the Release tree and runs its tests, with no setup step: for developers
# whose machine already has the packages scripts/setup.sh installs; then clang-tidy (scripts/tidy.sh),
# which must find nothing.
#   scripts/check.sh [DIR [extra cmake arguments...]]   (DIR defaults to build)
set -euo pipefail
dir=${1:-build}; shift || true
cd "$(dirname "$0")/.."
scripts/build.sh "$dir" "$@"
(cd "$dir" && ctest --output-on-failure -j2)
scripts/tidy.sh "$dir"
