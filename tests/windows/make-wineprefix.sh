#!/usr/bin/env bash
# Makes a fresh wine prefix at $WINEPREFIX for the suite and waits until wine has settled.
set -euo pipefail
rm -rf "$WINEPREFIX"
start=$(date +%s)
wineboot -i >/dev/null 2>&1
wineserver -w
echo "wine prefix made in $(($(date +%s) - start)) s"
