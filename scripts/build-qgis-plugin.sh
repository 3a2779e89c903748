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
description=Mineral-prospectivity methods in Processing: BP network, hierarchy, feature analysis, fuzzy overlay, weights of evidence, logistic regression, evaluation
about=A Processing provider "Quarnel" whose algorithms run Quarnel's methods (normalisation, window statistics, BP network, hierarchy analysis, feature analysis, fuzzy overlay, weights of evidence, logistic regression, ROC and success-rate evaluation, workflow files) on raster and point layers. Needs the quarnel Python package (and the quarnel program for its tools).
version=$version
author=Quarnel developers
tags=prospectivity,mineral,exploration,neural network,AHP,fuzzy,weights of evidence,logistic regression,processing,raster
; PLACEHOLDERS: the project (setup.py, CMakeLists.txt) declares no e-mail, homepage or tracker
; yet; these .invalid addresses stand in until it does.
email=maintainers@quarnel.invalid
homepage=https://quarnel.invalid/
tracker=https://quarnel.invalid/issues
repository=https://quarnel.invalid/repository
hasProcessingProvider=yes
experimental=False
META
rm -f "$out.part"
(cd "$stage" && /usr/bin/python3 -m zipfile -c "$out.part" quarnel_qgis)
mv "$out.part" "$out"
echo "$out"
