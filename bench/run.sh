#!/bin/sh
# Runs the fetch benchmark for 20 MB and 200 MB of inflated rows, each in its own process, and
# Python's crc_hqx on the same inflated bytes. Usage: bench/run.sh [build directory]
set -e
build=${1:-build}
here=$(dirname "$0")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --build "$build" --target mirrox_fetch_bench >/dev/null
for size in 20 200; do
  echo "== $size MB"
  "$build/bin/mirrox_fetch_bench" "$size" "$scratch/$size"
  python3 "$here/crc_hqx_bench.py" "$scratch/$size/repl.rc"
  rm -rf "${scratch:?}/$size"
done
