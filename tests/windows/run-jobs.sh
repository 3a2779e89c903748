#!/usr/bin/env bash
# Lays out the job inputs in a fresh WORKDIR and runs the host there:
#   run-jobs.sh SOURCE_DIR WORKDIR HOST_COMMAND...
# The inputs are the bundled example grids and the text files of tests/windows/data; the host
# makes the binary ones itself. One grid is also given a Chinese name, written in GBK bytes, the
# encoding a Windows host in code page 936 passes.
set -euo pipefail
source_dir=$1 workdir=$2; shift 2
examples=$source_dir/examples/cloncurry
rm -rf "$workdir"
mkdir -p "$workdir"
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }
cp "$examples/Dist2Breccia_metres_1km.grd" "$workdir/breccia.grd"
cp "$examples/Dist2Fault_bin_1km.grd" "$workdir/fault.grd"
cp "$examples/Dist2Fault_bin_1km.grd" "$workdir/$(gbk 断裂距离.grd)"
cp "$examples/StratNo_bin_1km.kvsgda01.txt" "$workdir/strat.kvsgda01"
cp "$examples/Dist2Breccia_bin_1km.kvsgda01.txt" "$workdir/breccia.kvsgda01"
cp "$examples/FaultDensity_bin_1km.kvsgda01.txt" "$workdir/faultdensity.kvsgda01"
cp "$examples/Dist2FaultInv_bin_1km.kvsgda01.txt" "$workdir/faultinv.kvsgda01"
cp "$examples/IOCG_model_units_1km.txt" "$workdir/model_units.txt"
cp "$source_dir"/tests/windows/data/* "$workdir/"
iconv -f UTF-8 -t GBK <"$workdir/hierarchy_chinese.par.utf8" >"$workdir/$(gbk 层次分析参数.par)"
chmod u+w "$workdir"/*
cd "$workdir"
"$@" jobs
