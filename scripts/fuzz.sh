#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs one of them for a while:
#   scripts/fuzz.sh TARGET SECONDS [extra libFuzzer options...]
# TARGET is a name from fuzz/CMakeLists.txt (dsaa, kvsgdb01, hxf, bp_network, ...). The run starts
# from the committed seeds in fuzz/corpus/TARGET and keeps what it learns in build-fuzz/corpus/TARGET;
# a finding is written to build-fuzz/findings/TARGET/ and ends the run with a non-zero status.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1 seconds=$2
shift 2
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/${QUARNEL_FUZZ_BUILD:-build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARNEL_FUZZ=ON -DQUARNEL_TESTS=OFF -DQUARNEL_CLI=OFF >/dev/null
fi
cmake --build "$build" --target "fuzz_$target"
# Absolute paths: some targets run their job inside a scratch folder as working directory.
seeds=$root/fuzz/corpus/$target
work=$build/corpus/$target
findings=$build/findings/$target
mkdir -p "$work" "$findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec "$build/fuzz_$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$@" "$work" "$seeds"
