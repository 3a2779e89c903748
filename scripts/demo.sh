#!/usr/bin/env bash
# Sets up, builds, and runs the main workflow on the bundled Cloncurry example data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
examples/run-demo.sh build out/demo
