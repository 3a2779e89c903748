#!/usr/bin/env bash
# Installs a build tree into a fresh prefix and uses it from outside, as another project would: the
# installed host runs; a C++ program found through find_package(Quarnel) checks one core result and
# runs one job of the C library; a C program built through pkg-config runs the same job. Both jobs'
# grids must be the host's bytes.
#   consume-installed.sh BUILD WORK LIBDIR GRID HOST CMAKE GENERATOR MAKE_PROGRAM CC CXX
set -euo pipefail
build=$1 work=$2 libdir=$3 grid=$4 host=$5 cmake=$6 generator=$7 make_program=$8 cc=$9 cxx=${10}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

"$prefix/bin/quarnel" --version
"$host" normalize "$grid" "$work/from_host.grd" >/dev/null

"$cmake" -S "$here/consumer" -B "$work/cmake" -G "$generator" -DCMAKE_MAKE_PROGRAM="$make_program" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
"$cmake" --build "$work/cmake" >/dev/null
"$work/cmake/consumer" "$grid" "$work/from_cmake.grd"
cmp "$work/from_host.grd" "$work/from_cmake.grd"

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
read -ra flags <<<"$(pkg-config --cflags --libs quarnel)"
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror "$here/consumer.c" -o "$work/consumer_c" "${flags[@]}" \
  -Wl,-rpath,"$(pkg-config --variable=libdir quarnel)"
"$work/consumer_c" "$grid" "$work/from_pkg_config.grd"
cmp "$work/from_host.grd" "$work/from_pkg_config.grd"
echo "installed into $prefix; find_package and pkg-config consumers built and run"
