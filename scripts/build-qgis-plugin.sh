#!/usr/bin/env bash
# Makes the QGIS plugin zip (OUT, default build-qgis/quarnel_qgis.zip) that QGIS's
# Plugins > Install from ZIP takes: qgis/quarnel_qgis with a metadata.txt whose version is the
# project's (CMakeLists.txt). The plugin needs the quarnel Python package installed.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-qgis/quarnel_qgis.zip}
version=$(sed -n 's/^project(Quarnel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "build-qgis-plugin: no project VERSION in CMakeLists.txt" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/quarnel_qgis" "$(dirname "$out")"
out=$(realpath "$out")
cp qgis/quarnel_qgis/*.py "$stage/quarnel_qgis/"
cat > "$stage/quarnel_qgis/metadata.txt" <<META
[general]
name=Quarnel
qgisMinimumVersion=3.22
description=Mineral-prospectivity methods in Processing: BP network, hierarchy and feature analysis, evaluation
about=A Processing provider "Quarnel" whose algorithms run Quarnel's methods (normalisation, window statistics, BP network, hierarchy analysis, feature analysis, ROC and success-rate evaluation, workflow files) on raster and point layers. Needs the quarnel Python package (and the quarnel program for its tools).
version=$version
author=Quarnel developers
email=quarnel@localhost
tags=prospectivity,mineral,exploration,neural network,AHP,processing,raster
homepage=https://github.com/quarnel/quarnel
tracker=https://github.com/quarnel/quarnel/issues
repository=https://github.com/quarnel/quarnel
hasProcessingProvider=yes
experimental=False
META
rm -f "$out.part"
(cd "$stage" && /usr/bin/python3 -m zipfile -c "$out.part" quarnel_qgis)
mv "$out.part" "$out"
echo "$out"
