#!/usr/bin/env bash
# Runs the benchmarks (bench/) of the x86_64 build under Wine and prints their
# figures: tools/bench.sh [name-regex] [-- arguments for the benchmark].
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
filter=${1:-.}; shift || true
[ "${1:-}" = "--" ] && shift
"$top/tools/deps.sh"
QC_TARGETS="${QC_BENCH_TARGETS:-all}" "$top/tools/build.sh" >/dev/null
. "$top/tools/wine-env.sh"
trap qc_wine_stop EXIT
build=$top/${QC_BUILD_ROOT:-build}/x86_64
qc_wine_start "$build"
found=0
for exe in "$build"/bench/bench_*.exe; do
  [ -e "$exe" ] || continue
  name=$(basename "$exe" .exe)
  [[ "$name" =~ $filter ]] || continue
  found=1
  echo "== $name"
  LC_ALL=$QC_LC_ALL "$QC_WINE" "$exe" "$@" </dev/null 2>&1 | tr -d '\r'
done
[ $found = 1 ] || { echo "no benchmark matches '$filter'" >&2; exit 1; }
