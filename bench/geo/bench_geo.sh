#!/usr/bin/env bash
# The GDAL door against its I/O floor, in one run: GeoTIFF normalisation of an N x N Float32
# raster against gdal_translate copying it with the same creation options, and BP classification
# of four such rasters (a 4-8-1 network) against gdal_translate copying the four. Prints each
# time, the ratio and the peak resident memory of the quarnel runs.
#   bench/geo/bench_geo.sh BUILD [N=8000] [WORK=/tmp/quarnel-bench-geo]
set -euo pipefail
quarnel=$(cd "$1" && pwd)/quarnel
n=${2:-8000}
work=${3:-/tmp/quarnel-bench-geo}
mkdir -p "$work"
cd "$work"
options=(-co TILED=YES -co COMPRESS=DEFLATE -co BIGTIFF=IF_SAFER)

# Four smooth evidence rasters with a sprinkle of no-data, written a block of rows at a time by
# GDAL's Python bindings.
/usr/bin/python3 - "$n" <<'PY'
import os, sys
import numpy as np
from osgeo import gdal, osr
n = int(sys.argv[1])
srs = osr.SpatialReference(); srs.ImportFromEPSG(28354)
for k in range(1, 5):
    name = f"in{k}.tif"
    if os.path.exists(name):
        continue
    out = gdal.GetDriverByName("GTiff").Create(name, n, n, 1, gdal.GDT_Float32,
                                               ["TILED=YES", "COMPRESS=DEFLATE", "BIGTIFF=IF_SAFER"])
    out.SetGeoTransform((500000, 10, 0, 7000000, 0, -10)); out.SetProjection(srs.ExportToWkt())
    band = out.GetRasterBand(1); band.SetNoDataValue(-9999)
    cols = np.arange(n)
    for top in range(0, n, 256):
        rows = np.arange(top, min(top + 256, n))[:, None]
        block = (np.sin(cols * 0.001 * k + rows * 0.0007) * 100 + k).astype(np.float32)
        block[(rows * 31 + cols) % 997 == k] = -9999
        band.WriteArray(block, 0, top)
    out = None
PY
printf '         4           8           1           0.01000000\n' > net.txt
awk 'BEGIN { srand(3); for (j = 0; j < 8; ++j) printf "%12.5f", rand() - 0.5; print "";
             printf "%12.5f\n", rand() - 0.5;
             for (i = 0; i < 4; ++i) { for (j = 0; j < 8; ++j) printf "%12.5f", rand() - 0.5; print "" }
             for (j = 0; j < 8; ++j) printf "%12.5f\n", rand() - 0.5 }' >> net.txt

# seconds and peak KiB of a command
measure() {
  /usr/bin/time -f "%e %M" -o time.txt "$@" >/dev/null
  cat time.txt
}
read -r floor1 _ < <(measure gdal_translate -q "${options[@]}" in1.tif copy.tif)
read -r norm normKiB < <(measure "$quarnel" normalize in1.tif norm.tif)
floor4=0
for k in 1 2 3 4; do
  read -r t _ < <(measure gdal_translate -q "${options[@]}" "in$k.tif" "copy$k.tif")
  floor4=$(awk -v a="$floor4" -v b="$t" 'BEGIN { print a + b }')
done
read -r classify classifyKiB < <(measure "$quarnel" bp-classify net.txt classes.tif in1.tif in2.tif in3.tif in4.tif)
awk -v n="$n" -v f1="$floor1" -v t1="$norm" -v m1="$normKiB" -v f4="$floor4" -v t4="$classify" -v m4="$classifyKiB" 'BEGIN {
  printf "normalize %dx%d: %.2f s, gdal_translate %.2f s, ratio %.2f, peak %.0f MiB\n", n, n, t1, f1, t1 / f1, m1 / 1024
  printf "bp-classify 4 x %dx%d: %.2f s, gdal_translate of the four %.2f s, ratio %.2f, peak %.0f MiB\n", n, n, t4, f4, t4 / f4, m4 / 1024 }'
rm -f copy*.tif norm.tif classes.tif time.txt
