#!/usr/bin/env bash
# Installs what building and testing Quarnel needs on a Debian machine (run as root).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
          clang clang-14 libclang-rt-14-dev python3 libfann-dev libmpfr-dev
          libgdal-dev gdal-bin libtomlplusplus-dev python3-gdal libcairo2-dev fonts-dejavu-core chromium
          python3-dev pybind11-dev python3-pybind11 python3-numpy python3-setuptools python3-pip python3-pytest
          python3-xarray python3-rioxarray python3-geopandas python3-dask python3-distributed python3-sklearn
          python3-matplotlib qgis python3-qgis qgis-providers libeigen3-dev
          libxgboost-dev python3-xgboost)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
