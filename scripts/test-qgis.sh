#!/usr/bin/env bash
# Tests the QGIS plugin headless on Debian's QGIS: builds the plugin zip, installs it into a fresh
# QGIS profile folder of its own (never the user's), enables it with qgis_process and runs its
# tests (qgis/tests) against the quarnel package scripts/test-python.sh installed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ -d build-python/site/quarnel ] || { echo "test-qgis: run scripts/test-python.sh first (build-python/site)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/build-qgis-plugin.sh "$work/quarnel_qgis.zip" >/dev/null
plugins=$work/config/profiles/default/python/plugins
mkdir -p "$plugins"
/usr/bin/python3 -m zipfile -e "$work/quarnel_qgis.zip" "$plugins"
export QGIS_CUSTOM_CONFIG_PATH=$work/config QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime
export PYTHONPATH=$root/build-python/site:$plugins QUARNEL_QGIS_PROFILE=$work/config
# The tools that only the host has: the Release build's program when there is one.
[ -x build/quarnel ] && export QUARNEL_HOST=$root/build/quarnel
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# Debian's qgis_process wrapper adds --noversioncheck, which qgis_process 3.22 refuses.
/usr/bin/qgis_process.bin plugins enable quarnel_qgis
/usr/bin/python3 -m pytest -q -p no:cacheprovider qgis/tests
