#!/usr/bin/env bash
# Installs the Python package as a user would (offline, Debian's build tools) into a folder of
# its own, and runs its tests there.
set -euo pipefail
cd "$(dirname "$0")/.."
rm -rf build-python/site
/usr/bin/python3 -m pip install --quiet --no-build-isolation --no-deps --target build-python/site .
PYTHONPATH=build-python/site /usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests
