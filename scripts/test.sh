#!/usr/bin/env bash
# Sets up, builds Release and an ASan+UBSan build, and runs every test in both; installs the Python
# package and runs its tests; then cross-builds the 32-bit Windows DLLs and runs their suite under
# wine against the Release build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/check.sh build
scripts/test-python.sh
scripts/test-qgis.sh
scripts/test-windows.sh
scripts/build.sh build-asan -DQUARNEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
(cd build-asan && ctest --output-on-failure -j2)
