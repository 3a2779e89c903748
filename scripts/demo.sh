#!/usr/bin/env bash
# Sets up, builds the quarnel host (and the libraries it links, without the test suite) in
# build-demo/, and runs the main workflow on the bundled Cloncurry example data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARNEL_TESTS=OFF >/dev/null
cmake --build build-demo --target quarnel_cli
examples/run-demo.sh build-demo out/demo
