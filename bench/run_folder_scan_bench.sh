#!/usr/bin/env bash
# Times Kestrane's folder scanner against find(1) on one generated tree, page
# cache warm, in the same run. See bench/README.md.
#
#     bench/run_folder_scan_bench.sh [TREE]
#
# Environment: REPEAT (timed runs per tool, default 5), SEED, FILES, FOLDERS
# (the generated tree, default 1 / 150000 / 10000), BUILD_DIR (default
# build/release).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
repeat=${REPEAT:-5}
seed=${SEED:-1}
files=${FILES:-150000}
folders=${FOLDERS:-10000}
build=${BUILD_DIR:-$repo/build/release}
tree=${1:-$repo/build/bench-tree/s$seed-f$files-d$folders}

# Goals: the scan takes at most this share of find's wall time, and the
# scanned tree costs at most this many bytes of peak memory per file item.
wall_goal_ratio=0.8
bytes_goal=160

if [ ! -x /usr/bin/time ]; then
  echo "run_folder_scan_bench: /usr/bin/time is missing (Debian package 'time'; scripts/setup.sh installs it)" >&2
  exit 1
fi

echo "== building (Release) in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target kestrane_folder_scan_bench kestrane_make_tree

echo "== tree"
"$build/bench/kestrane_make_tree" "$tree" --seed "$seed" --files "$files" --folders "$folders"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# find runs before and after Kestrane's, so that a change of load during the
# run weighs on both tools alike; the medians are taken over all of them.
find_walls=()
find_cpus=()
find_peak=0
measure=$(mktemp)
trap 'rm -f "$measure"' EXIT
time_find() {
  local run start end user sys peak wall cpu
  for ((run = 1; run <= repeat; run++)); do
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S %M' -o "$measure" find "$tree" -printf '%s %b\n' >/dev/null
    end=$(date +%s%N)
    read -r user sys peak <"$measure"
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.1f", (u + s) * 1000 }')
    echo "run $run: $wall ms wall, $cpu ms CPU, peak RSS $peak KiB"
    find_walls+=("$wall")
    find_cpus+=("$cpu")
    if ((peak > find_peak)); then find_peak=$peak; fi
  done
}

echo "== find, $repeat runs after one to warm the cache"
find "$tree" -printf '%s %b\n' >/dev/null
time_find

echo "== kestrane"
bench_output=$("$build/bench/kestrane_folder_scan_bench" "$tree" --repeat "$repeat") || {
  echo "$bench_output"
  echo "run_folder_scan_bench: the Kestrane scan FAILED (see above)" >&2
  exit 1
}
echo "$bench_output"

echo "== find again, $repeat runs"
time_find
find_wall=$(printf '%s\n' "${find_walls[@]}" | median)
find_cpu=$(printf '%s\n' "${find_cpus[@]}" | median)

result=$(grep '^RESULT ' <<<"$bench_output")
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$result"; }
k_wall=$(field wall_ms)
k_cpu=$(field cpu_ms)
k_peak=$(field peak_rss_kib)
k_bytes=$(field bytes_per_file_item)
k_items=$(field items)

ratio=$(awk -v k="$k_wall" -v f="$find_wall" 'BEGIN { printf "%.2f", k / f }')
wall_ok=$(awk -v r="$ratio" -v g="$wall_goal_ratio" 'BEGIN { print (r <= g) ? "met" : "NOT met" }')
bytes_ok=$(awk -v b="$k_bytes" -v g="$bytes_goal" 'BEGIN { print (b <= g) ? "met" : "NOT met" }')

echo
echo "== folder scan of $tree ($k_items items), cache warm, $(nproc) CPUs; medians of $repeat Kestrane runs and $((2 * repeat)) find runs"
printf '%-10s %14s %10s %16s %16s %20s\n' tool "wall ms" "CPU ms" "peak RSS KiB" "wall vs find" "bytes/file item"
printf '%-10s %14s %10s %16s %16s %20s\n' find "$find_wall" "$find_cpu" "$find_peak" "1.00" "-"
printf '%-10s %14s %10s %16s %16s %20s\n' kestrane "$k_wall" "$k_cpu" "$k_peak" "$ratio" "$k_bytes"
echo
echo "goal: wall <= $wall_goal_ratio x find: $wall_ok ($ratio)"
echo "goal: <= $bytes_goal bytes of peak memory per file item: $bytes_ok ($k_bytes)"
load=$(cut -d' ' -f1 /proc/loadavg)
echo "load average: $load"
if awk -v l="$load" -v n="$(nproc)" 'BEGIN { exit !(l > n / 2) }'; then
  echo "warning: the machine is busy; wall times are unreliable (as root, 'nice -n -20 $0' helps)"
fi
