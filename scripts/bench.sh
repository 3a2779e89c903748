#!/usr/bin/env bash
# Builds the benchmarks (Release, -DQUARNEL_BENCH=ON, in build-bench/) and runs each area's
# bench program; the large grids are generated once into build-bench/bench-data/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build-bench -DQUARNEL_BENCH=ON -DQUARNEL_TESTS=OFF
status=0
for area in prep bp hierarchy feature; do
  program=build-bench/bench_$area
  if [ -x "$program" ]; then
    "$program" --dir build-bench/bench-data || status=1
  fi
done
exit $status
