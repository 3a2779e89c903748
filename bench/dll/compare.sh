#!/usr/bin/env bash
# Times BP training and classification, normalisation and window statistics through the Linux
# library and through the 32-bit Windows DLL under wine, on the same inputs, and prints the
# ratios (Windows / Linux) of the processor times and of the wall times, each job best of RUNS
# calls, the whole comparison REPS times (the machine is shared: compare the ratios, not the
# seconds). Both trees must be built with -DQUARNEL_BENCH=ON:
#   bench/dll/compare.sh [LINUX_BUILD [WINDOWS_BUILD [DIR]]]   (build, build-win, /tmp/quarnel_dll_bench)
set -euo pipefail
linux=$(realpath "${1:-build}")/bench_dll
windows=$(realpath "${2:-build-win}")/bench_dll.exe
dir=${3:-/tmp/quarnel_dll_bench}
runs=${RUNS:-3}
reps=${REPS:-3}
export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows")/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

mkdir -p "$dir"
cd "$dir"
# Inputs, kept for the next run: one 4000 x 4000 grid, four 2000 x 2000 classification inputs,
# 2000 samples of four inputs and the 4-16-2 network the Linux library trains on them.
[ -f grid.grd ] || "$linux" grid grid.grd 4000 4000 1
for k in 0 1 2 3; do [ -f class$k.grd ] || "$linux" grid class$k.grd 2000 2000 $((k + 11)); done
[ -f samples.txt ] || "$linux" samples samples.txt 2000 4 5
[ -f network.txt ] || "$linux" time 1 train samples.txt network.txt result.txt 2000 4 16 2 300 >/dev/null

jobs=(
  "train samples.txt trained.txt result.txt 2000 4 16 2 1000"
  "classify network.txt classes.grd class0.grd*class1.grd*class2.grd*class3.grd* 1*1*1*1*"
  "normalize grid.grd normalised.grd"
  "window grid.grd mean.grd std.grd 5"
)
# "processor P s" and "wall W s" of one line of bench_dll time.
seconds() { sed -n "s/.* $1 \([0-9.]*\) s.*/\1/p"; }

echo "$(date -u +%FT%TZ) $(uptime | sed 's/.*load/load/')"
printf '%-10s %10s %10s %7s   %10s %10s %7s\n' job "linux cpu" "wine cpu" ratio "linux wall" "wine wall" ratio
for _ in $(seq "$reps"); do
  for job in "${jobs[@]}"; do
    # shellcheck disable=SC2086 # the job's words are separate arguments
    native=$("$linux" time "$runs" $job)
    # shellcheck disable=SC2086
    emulated=$(wine "$windows" time "$runs" $job | tr -d '\r')
    for line in "$native" "$emulated"; do
      case $line in *"status 1 "*) ;; *) echo "failed: $line" >&2; exit 1 ;; esac
    done
    lc=$(seconds processor <<<"$native"); wc=$(seconds processor <<<"$emulated")
    lw=$(seconds wall <<<"$native"); ww=$(seconds wall <<<"$emulated")
    awk -v j="${job%% *}" -v lc="$lc" -v wc="$wc" -v lw="$lw" -v ww="$ww" \
      'BEGIN { printf "%-10s %10.3f %10.3f %6.2fx   %10.3f %10.3f %6.2fx\n", j, lc, wc, wc / lc, lw, ww, ww / lw }'
  done
done
echo "$(date -u +%FT%TZ) $(uptime | sed 's/.*load/load/')"
