#!/usr/bin/env bash
# The largest inputs the 32-bit Windows DLL handles under wine: normalisation of one N x N DSAA
# grid for each N in NORMALIZE_SIZES, and classification of four M x M DSAA grids for each M in
# CLASSIFY_SIZES, each through bench_dll.exe as built (large-address aware: 4 GB of address
# space) and through a copy whose header flag is cleared (the 2 GB of a plain 32-bit host). The
# grids are written into DIR for one attempt and deleted after it, outputs included.
#   bench/dll/ceilings.sh [LINUX_BUILD [WINDOWS_BUILD [DIR]]]   (build, build-win, /tmp/quarnel_ceilings)
set -euo pipefail
linux=$(realpath "${1:-build}")/bench_dll
windows=$(realpath "${2:-build-win}")/bench_dll.exe
dir=${3:-/tmp/quarnel_ceilings}
normalize_sizes=${NORMALIZE_SIZES:-"16000 20000"}
classify_sizes=${CLASSIFY_SIZES:-"6000"}
export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows")/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

mkdir -p "$dir"
cd "$dir"
trap 'rm -f "$dir"/*.grd' EXIT
# The copy without IMAGE_FILE_LARGE_ADDRESS_AWARE (0x20 in the COFF header's characteristics) lies
# beside the DLLs it loads.
plain=$(dirname "$windows")/bench_dll_2gb.exe
cp "$windows" "$plain"
/usr/bin/python3 - "$plain" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as exe:
    exe.seek(0x3C)
    characteristics = struct.unpack("<I", exe.read(4))[0] + 4 + 18
    exe.seek(characteristics)
    flags = struct.unpack("<H", exe.read(2))[0]
    exe.seek(characteristics)
    exe.write(struct.pack("<H", flags & ~0x20))
PY

attempt() {  # attempt LABEL JOB ARGS...: one call through each host
  local label=$1; shift
  for host in "$windows" "$plain"; do
    local result
    result=$(wine "$host" time 1 "$@" 2>&1 | tr -d '\r' | tail -1)
    printf '%-28s %-16s %s\n' "$label" "$(basename "$host" .exe)" "$result"
    rm -f out*.grd
  done
}

echo "$(date -u +%FT%TZ) $(uptime | sed 's/.*load/load/')"
for n in $normalize_sizes; do
  "$linux" grid grid.grd "$n" "$n" 1
  attempt "normalize $n x $n" normalize grid.grd out.grd
  rm -f grid.grd
done
for m in $classify_sizes; do
  for k in 0 1 2 3; do "$linux" grid class$k.grd "$m" "$m" $((k + 11)); done
  [ -f network.txt ] || { "$linux" samples samples.txt 2000 4 5; "$linux" time 1 train samples.txt network.txt result.txt 2000 4 16 2 300 >/dev/null; }
  attempt "classify 4 x $m x $m" classify network.txt out.grd "class0.grd*class1.grd*class2.grd*class3.grd*" "1*1*1*1*"
  rm -f class*.grd
done
echo "$(date -u +%FT%TZ) $(uptime | sed 's/.*load/load/')"
