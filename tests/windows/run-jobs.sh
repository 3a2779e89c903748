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
cp "$examples/Dist2Breccia_metres_1km.grd" "$workdir/breccia.grd"
cp "$examples/Dist2Fault_bin_1km.grd" "$workdir/fault.grd"
cp "$examples/Dist2Fault_bin_1km.grd" "$workdir/$(printf '断裂距离.grd' | iconv -f UTF-8 -t GBK)"
cp "$source_dir"/tests/windows/data/* "$workdir/"
chmod u+w "$workdir"/*
cd "$workdir"
"$@" jobs
