#!/usr/bin/env bash
# Runs the Quarnel workflow on the bundled Cloncurry grids: examples/run-demo.sh BUILD OUTDIR
# BUILD is a build folder holding the quarnel host; every result lands in OUTDIR.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD OUTDIR" >&2
  exit 1
fi
here=$(cd "$(dirname "$0")" && pwd)
quarnel=$(cd "$1" && pwd)/quarnel
mkdir -p "$2"
out=$(cd "$2" && pwd)
data=$here/cloncurry

# --- district ---
# The main workflow: the Cloncurry district at 100 m, four GeoTIFF evidence maps and the deposits
# as points, through every method by one workflow file; every map it writes is GeoTIFF in the
# district's own CRS and extent, which GDAL confirms.
# It runs from a folder whose path holds blanks (a link to the district's data) into another.
ln -sfn "$here/cloncurry-100m" "$out/Cloncurry district data"
"$quarnel" run "$out/Cloncurry district data/district.toml" --output "$out/district results" | tee "$out/district.log"
crs=$(gdalsrsinfo -o proj4 "$here/cloncurry-100m/StratNo.tif")
for map in "$out/district results"/*/*.tif; do
  info=$(gdalinfo -stats "$map")
  [ "$(gdalsrsinfo -o proj4 "$map")" = "$crs" ] || { echo "$map: not in the district's CRS" >&2; exit 1; }
  grep -q "Size is 1259, 2487" <<<"$info" || { echo "$map: not the district's extent" >&2; exit 1; }
done
echo "district maps in $out/district results: layers/ (coded evidence), bp/classes.tif and favourability.tif,"
echo "  hierarchy/prospectivity.tif, feature/score.tif, wofe/posterior.tif (and its std and confidence),"
echo "  fuzzy/overlay.tif, logistic/probability.tif (and its standard error), trees/probability.tif,"
echo "  with summary.json and report.html; each read back by gdalinfo -stats"

# The design's own formats on the 1 km grids derived from the same maps.
# --- prep ---
# The continuous layer, the distance to breccia in metres, rescaled to 0..1 and averaged over
# 5 x 5 km windows; the four binary evidence maps packed into one multi-grid file and dumped.
mkdir -p "$out/prep"
"$quarnel" normalize --kind auto "$data/Dist2Breccia_metres_1km.grd" "$out/prep/Dist2Breccia_norm.grd"
"$quarnel" window-stats "$data/Dist2Breccia_metres_1km.grd" \
  "$out/prep/Dist2Breccia_mean5.grd" "$out/prep/Dist2Breccia_std5.grd" -w 5
"$quarnel" hxf-pack "$out/prep/evidence_bin.hxf" "$data/Dist2Breccia_bin_1km.grd" \
  "$data/Dist2FaultInv_bin_1km.grd" "$data/FaultDensity_bin_1km.grd" "$data/StratNo_bin_1km.grd" --type float
"$quarnel" hxf-dump "$out/prep/evidence_bin.hxf" "$out/prep/evidence_bin.txt"
"$quarnel" info "$out/prep/Dist2Breccia_mean5.grd"
echo "prep results in $out/prep:"
echo "  Dist2Breccia_norm.grd    distance to breccia rescaled to 0..1 (DSAA)"
echo "  Dist2Breccia_mean5.grd   5 x 5 window means, rescaled (DSAA)"
echo "  Dist2Breccia_std5.grd    5 x 5 window standard deviations, rescaled (DSAA)"
echo "  evidence_bin.hxf         the four binary evidence maps in one multi-grid file"
echo "  evidence_bin.txt         its text dump, one line per grid column"

# --- feature ---
# Characteristic analysis of the four binary evidence maps with the 212 known deposit cells as
# model units, by both weighting methods. The parameter files name their grids relative to the
# folder the job runs in, so that folder gets a link to the data.
mkdir -p "$out/feature"
ln -sfn "$data" "$out/feature/cloncurry"
for method in vector_length principal_component; do
  (cd "$out/feature" && "$quarnel" feature "$here/feature/cloncurry_$method.txt")
  awk -f "$here/feature/deposit_scores.awk" "$data/IOCG_model_units_1km.txt" \
    "$out/feature/feature_${method}_score.kvsgda01.txt"
done
echo "feature results in $out/feature:"
echo "  feature_vector_length_score.kvsgda01.txt        score of every cell, vector-length weights (KVSGDA01)"
echo "  feature_vector_length_report.txt                its report (GBK): product matrix, weights, deposit scores"
echo "  feature_principal_component_score.kvsgda01.txt  score of every cell, principal-component weights"
echo "  feature_principal_component_report.txt          its report (GBK); quarnel report FILE shows one as UTF-8"

# --- hierarchy ---
# Weights of the evidence by the hierarchy process: geology (stratigraphy, nearness to breccia)
# and structure interpreted from geophysics (fault density, nearness to faults); the Cloncurry
# data hold no geochemistry or remote-sensing layer, so those levels are absent. A regular-grid
# prediction over the four binary maps, then a ranking of ten candidate cells (the six richest
# deposit cells, four without deposits) from a table built out of the same maps.
mkdir -p "$out/hierarchy"
for params in regular_grid anomaly_ranking; do
  sed -e "s|@DATA@|$data|g" -e "s|@OUT@|$out/hierarchy|g" "$here/hierarchy/$params.params" \
    >"$out/hierarchy/$params.params"
done
python3 "$here/hierarchy/anomaly_table.py" "$data" "$out/hierarchy/anomalies.txt"
"$quarnel" hierarchy "$out/hierarchy/regular_grid.params"
"$quarnel" hierarchy "$out/hierarchy/anomaly_ranking.params" --show-report | sed -n '/异常评序结果/,$p'
echo "hierarchy results in $out/hierarchy:"
echo "  prospectivity.kvsgda01.txt      weighted-sum prospectivity grid, 100 (nothing) to 200 (all favourable)"
echo "  regular_grid_report.txt         its report (GBK; quarnel report FILE shows it as UTF-8)"
echo "  anomalies.txt                   the candidate cells' evidence values (AnmLvl table)"
echo "  anomaly_ranking_report.txt      their ranking by weighted score (GBK)"

# --- bp ---
# A BP network trained on the four binary evidence maps at the 212 deposit cells and as many
# background cells drawn without deposits, then applied to every cell of the district: once
# from the four DSAA grids, once from the multi-grid file of the prep section (one network
# input per grid it holds); both must give the same class grid.
mkdir -p "$out/bp"
evidence=("$data/Dist2Breccia_bin_1km.grd" "$data/Dist2FaultInv_bin_1km.grd" "$data/FaultDensity_bin_1km.grd"
          "$data/StratNo_bin_1km.grd")
python3 "$here/bp/make_samples.py" "$data/IOCG_Deposits_cells_1km.csv" "$out/bp/samples.txt" "${evidence[@]}"
"$quarnel" bp-train -s "$out/bp/samples.txt" -n "$out/bp/network.txt" -r "$out/bp/training_result.txt" \
  --hidden 4 --max-iterations 300 --error-limit 0 --seed 1
"$quarnel" bp-classify "$out/bp/network.txt" "$out/bp/classes.grd" "${evidence[@]}"
"$quarnel" bp-classify "$out/bp/network.txt" "$out/bp/classes_from_hxf.grd" "$out/prep/evidence_bin.hxf"
cmp "$out/bp/classes.grd" "$out/bp/classes_from_hxf.grd"
python3 "$here/bp/class_summary.py" "$out/bp/classes.grd" "$data/IOCG_Deposits_cells_1km.csv"
echo "bp results in $out/bp:"
echo "  classes.grd            the class grid (DSAA): 2 background-like, 3 deposit-like (1 would be no data)"
echo "  classes_from_hxf.grd   the same, classified from prep/evidence_bin.hxf"
echo "  network.txt            the trained 4-4-1 network"
echo "  samples.txt            the training samples; training_result.txt: true and computed class per sample (GBK)"

# The district's validation last: each method's ROC AUC, success-rate and prediction-rate areas.
echo
echo "Cloncurry district at 100 m, validation of each method:"
grep '^validation ' "$out/district.log" | sed 's/^validation /  /'
grep '^report: ' "$out/district.log"
