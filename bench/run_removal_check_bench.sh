#!/usr/bin/env bash
# What the checks before a removal cost. Builds Release and runs
# kestrane_removal_check_bench on a corpus in build/bench-removal, with the
# page cache warm and then cold (dropping it needs nothing but the files).
#   bench/run_removal_check_bench.sh [PAIRS] [SIZE]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build/release}"
pairs="${1:-256}"
size="${2:-2097152}"
cmake --build "$build" -j2 --target kestrane_removal_check_bench >/dev/null
corpus="build/bench-removal"
"$build/bench/kestrane_removal_check_bench" "$corpus" --pairs "$pairs" --size "$size" --repeat "${REPEAT:-3}"
"$build/bench/kestrane_removal_check_bench" "$corpus" --pairs "$pairs" --size "$size" --repeat "${REPEAT:-3}" --cold
