#!/usr/bin/env bash
# quarnel wofe --weights-only against gdal_translate -of MEM reading the same rasters once, side
# by side in one run, with each process's peak memory:
#   bench_wofe.sh HOST [DIR] [SIZE] [DEPOSITS] [LAYERS]   (defaults /tmp/quarnel_wofe_bench 8000 10000 10)
# It makes LAYERS SIZE x SIZE Byte rasters (classes 1..5 in 40-cell patches, tiled, DEFLATE) and
# DEPOSITS points (kept in DIR for the next run), then times each side twice, alternating, and
# prints the best wall and processor times and their ratio.
set -euo pipefail
host=$1 dir=${2:-/tmp/quarnel_wofe_bench} size=${3:-8000} deposits=${4:-10000} layers=${5:-10}
mkdir -p "$dir"
/usr/bin/python3 - "$dir" "$size" "$deposits" "$layers" <<'PY'
import sys
from pathlib import Path
import numpy as np
from osgeo import gdal, osr
folder, size, count, layers = Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = np.random.default_rng(1)
srs = osr.SpatialReference()
srs.ImportFromEPSG(32754)
for k in range(layers):
    path = folder / f"layer{k}_{size}.tif"
    if path.exists():
        continue
    patches = rng.integers(1, 6, (size // 40 + 1, size // 40 + 1), dtype=np.uint8)
    ds = gdal.GetDriverByName("GTiff").Create(str(path) + ".part", size, size, 1, gdal.GDT_Byte,
                                              ["TILED=YES", "COMPRESS=DEFLATE"])
    ds.SetGeoTransform((500000, 100, 0, 8000000, 0, -100))
    ds.SetProjection(srs.ExportToWkt())
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(0)
    for r in range(0, size, 512):
        rows = np.repeat(patches[r // 40 : (r + 512) // 40 + 2], 40, axis=0)[r % 40 : r % 40 + min(512, size - r)]
        band.WriteArray(np.repeat(rows, 40, axis=1)[:, :size], 0, r)
    ds = None
    Path(str(path) + ".part").rename(path)
points = folder / f"deposits_{size}_{count}.csv"
if not points.exists():
    x = 500000 + rng.random(count) * size * 100
    y = 8000000 - rng.random(count) * size * 100
    points.write_text("x,y\n" + "".join(f"{a:.1f},{b:.1f}\n" for a, b in zip(x, y)))
PY
rasters=()
for ((k = 0; k < layers; ++k)); do rasters+=("$dir/layer${k}_${size}.tif"); done
points="$dir/deposits_${size}_${deposits}.csv"
measure() {  # prints "wall cpu peak_kib"
  /usr/bin/time -f "%e %U %S %M" -o "$dir/time.txt" "$@" > /dev/null
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$dir/time.txt"
}
translate() { for r in "${rasters[@]}"; do gdal_translate -q -of MEM "$r" mem || return 1; done; }
export -f translate
best_wofe="" best_gdal=""
for run in 1 2; do
  rm -rf "$dir/out"
  w=$(measure "$host" wofe "${rasters[@]}" --deposits "$points" -o "$dir/out" --weights-only --unit-area cell)
  g=$(measure bash -c "rasters=(${rasters[*]}); $(declare -f translate); translate")
  echo "run $run: quarnel wofe --weights-only: $w (wall s, cpu s, peak KiB); gdal_translate -of MEM x $layers: $g"
  best_wofe=$(printf "%s\n%s\n" "$best_wofe" "$w" | awk 'NF' | sort -n | head -1)
  best_gdal=$(printf "%s\n%s\n" "$best_gdal" "$g" | awk 'NF' | sort -n | head -1)
done
read -r ww wc wm <<<"$best_wofe"
read -r gw gc gm <<<"$best_gdal"
echo "best: wofe $ww s wall, $wc s cpu, $wm KiB; gdal_translate $gw s wall, $gc s cpu, $gm KiB (largest one process)"
awk -v a="$ww" -v b="$gw" -v c="$wc" -v d="$gc" 'BEGIN { printf "ratio wofe / gdal_translate: wall %.2f x, cpu %.2f x\n", a / b, c / d }'
