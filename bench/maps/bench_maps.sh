#!/usr/bin/env bash
# The maps of fuzzy overlay, logistic regression and trees against gdal_translate -of MEM reading
# the same rasters once, side by side in one run, with each process's peak memory:
#   [RUNS=2] bench_maps.sh HOST [DIR] [SIZE] [LAYERS] [DEPOSITS]   (defaults /tmp/quarnel_maps_bench 8000 10 2000)
# It makes LAYERS SIZE x SIZE Float32 rasters (smooth fields with noise, one cell in a thousand no
# data, tiled, DEFLATE) and DEPOSITS points (kept in DIR for the next run, made at low priority),
# then times each side RUNS times, alternating, and prints the best wall and processor times and the
# ratios. The logistic and trees runs draw as many background cells as deposit cells and report
# their phases' processor seconds (--json): for them the map's own ratio (the phase that reads,
# predicts and writes every cell) is printed beside the whole command's, which also reads every
# raster once to draw the samples and judges the map against the deposits. The fuzzy run is the
# gamma operator of linear memberships.
set -euo pipefail
host=$1 dir=${2:-/tmp/quarnel_maps_bench} size=${3:-8000} layers=${4:-10} deposits=${5:-2000}
mkdir -p "$dir"
nice -n 19 /usr/bin/python3 - "$dir" "$size" "$layers" "$deposits" <<'PY'
import sys
from pathlib import Path
import numpy as np
from osgeo import gdal, osr
folder, size, layers, count = Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = np.random.default_rng(1)
srs = osr.SpatialReference()
srs.ImportFromEPSG(32754)
for k in range(layers):
    path = folder / f"layer{k}_{size}.tif"
    if path.exists():
        continue
    coarse = rng.normal(size=(size // 64 + 2, size // 64 + 2)).astype(np.float32)
    ds = gdal.GetDriverByName("GTiff").Create(str(path) + ".part", size, size, 1, gdal.GDT_Float32,
                                              ["TILED=YES", "COMPRESS=DEFLATE"])
    ds.SetGeoTransform((500000, 100, 0, 8000000, 0, -100))
    ds.SetProjection(srs.ExportToWkt())
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(-9999)
    for r in range(0, size, 512):
        rows = min(512, size - r)
        block = np.repeat(np.repeat(coarse[r // 64 : r // 64 + rows // 64 + 2], 64, axis=0), 64, axis=1)
        block = block[r % 64 : r % 64 + rows, :size] + rng.normal(scale=0.1, size=(rows, size)).astype(np.float32)
        block[rng.random((rows, size)) < 0.001] = -9999
        band.WriteArray(block, 0, r)
    ds = None
    Path(str(path) + ".part").rename(path)
points = folder / f"deposits_{size}_{count}.csv"
if not points.exists():
    x = 500000 + rng.random(count) * size * 100
    y = 8000000 - rng.random(count) * size * 100
    points.write_text("x,y\n" + "".join(f"{a:.1f},{b:.1f}\n" for a, b in zip(x, y)))
PY
rasters=()
memberships=()
for ((k = 0; k < layers; ++k)); do
  rasters+=("$dir/layer${k}_${size}.tif")
  memberships+=("linear:-2,2")
done
points="$dir/deposits_${size}_${deposits}.csv"
measure() {  # prints "wall cpu peak_kib"
  /usr/bin/time -f "%e %U %S %M" -o "$dir/time.txt" "$@" > "$dir/out.json"
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$dir/time.txt"
}
map_seconds() {  # the map phase's processor seconds of the last --json run
  /usr/bin/python3 -c 'import json, sys; print("%.2f" % json.load(open(sys.argv[1]))["results"]["processor_seconds"]["map"])' "$dir/out.json"
}
translate() { for r in "${rasters[@]}"; do gdal_translate -q -of MEM "$r" mem || return 1; done; }
best() { printf "%s\n%s\n" "$1" "$2" | awk 'NF' | sort -n | head -1; }
best_fuzzy="" best_logistic="" best_trees="" best_gdal="" map_logistic="" map_trees=""
for ((run = 1; run <= ${RUNS:-2}; ++run)); do
  rm -f "$dir"/out_*.tif
  g=$(measure bash -c "rasters=(${rasters[*]}); $(declare -f translate); translate")
  f=$(measure "$host" fuzzy "${rasters[@]}" --membership "${memberships[@]}" --operator gamma -o "$dir/out_fuzzy.tif")
  l=$(measure "$host" logistic "${rasters[@]}" --deposits "$points" -o "$dir/out_logistic.tif" --json)
  lm=$(map_seconds)
  t=$(measure "$host" trees "${rasters[@]}" --deposits "$points" -o "$dir/out_trees.tif" --json)
  tm=$(map_seconds)
  echo "run $run (wall s, cpu s, peak KiB): gdal_translate -of MEM x $layers: $g; fuzzy: $f;" \
    "logistic: $l (map $lm cpu s); trees: $t (map $tm cpu s)"
  best_gdal=$(best "$best_gdal" "$g")
  best_fuzzy=$(best "$best_fuzzy" "$f")
  best_logistic=$(best "$best_logistic" "$l")
  best_trees=$(best "$best_trees" "$t")
  map_logistic=$(best "$map_logistic" "$lm")
  map_trees=$(best "$map_trees" "$tm")
done
read -r gw gc gm <<<"$best_gdal"
for side in fuzzy logistic trees; do
  line=best_$side
  read -r w c m <<<"${!line}"
  echo "best $side: $w s wall, $c s cpu, $m KiB; gdal_translate $gw s wall, $gc s cpu, $gm KiB (largest one process)"
  awk -v s="$side" -v a="$w" -v b="$gw" -v c="$c" -v d="$gc" \
    'BEGIN { printf "ratio %s / gdal_translate: wall %.2f x, cpu %.2f x (whole command)\n", s, a / b, c / d }'
  [[ $side == fuzzy ]] && continue
  line=map_$side
  awk -v s="$side" -v c="${!line}" -v d="$gc" \
    'BEGIN { printf "ratio %s map / gdal_translate: cpu %.2f x (target 2 x)\n", s, c / d }'
done
