#!/usr/bin/env bash
# Times Kestrane's whole scan (reading, duplicate files, duplicate folders,
# similar folders) on the generated duplicates corpus, page cache warm, and
# checks its groups of identical files against an independent walk. See
# bench/README.md.
#
#     bench/run_scan_bench.sh [TREE]
#
# Environment: REPEAT (timed default scans, default 3), SEED, FILES, FOLDERS,
# MAX_SIZE (the generated corpus, default 1 / 150000 / 107 per 1000 files /
# 4M), BUILD_DIR (default build/release).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
repeat=${REPEAT:-3}
seed=${SEED:-1}
files=${FILES:-150000}
folders=${FOLDERS:-$((files * 107 / 1000))}
build=${BUILD_DIR:-$repo/build/release}
default_tree=$repo/build/bench-tree/s$seed-f$files-d$folders-dup
make_tree_args=(--duplicates --seed "$seed" --files "$files" --folders "$folders")
if [ -n "${MAX_SIZE:-}" ]; then
  make_tree_args+=(--max-size "$MAX_SIZE")
  default_tree+=-m$MAX_SIZE
fi
tree=${1:-$default_tree}
bench=$build/bench/kestrane_scan_bench

echo "== building (Release) in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target kestrane_scan_bench kestrane_make_tree

echo "== corpus"
"$build/bench/kestrane_make_tree" "$tree" "${make_tree_args[@]}"

echo "== warming the page cache"
find "$tree" -type f -print0 | xargs -0 cat >/dev/null

echo "== full keys, with the check against an independent walk"
check_status=0
check_output=$("$bench" "$tree" --full-hash --check) || check_status=$?
echo "$check_output"

echo "== partial keys (the default), $repeat runs"
default_output=$("$bench" "$tree" --repeat "$repeat") || {
  echo "$default_output"
  echo "run_scan_bench: the default scan FAILED (see above)" >&2
  exit 1
}
echo "$default_output"

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
row() {
  local label=$1 result
  result=$(grep '^RESULT ' <<<"$2")
  printf '%-24s %8s %8s %10s %9s %9s %9s %9s %8s %10s\n' "$label" \
    "$(field wall_s "$result")" "$(field cpu_s "$result")" \
    "$(awk -v k="$(field peak_rss_kib "$result")" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "$(field reading_s "$result")" "$(field duplicate_files_s "$result")" \
    "$(field duplicate_folders_s "$result")" "$(field similar_folders_s "$result")" \
    "$(field groups "$result")" \
    "$(awk -v b="$(field found_bytes "$result")" 'BEGIN { printf "%.1f", b / 1e6 }')"
}

echo
echo "== whole scan of $tree, cache warm, $(nproc) CPUs (seconds; the default row: medians of $repeat runs)"
printf '%-24s %8s %8s %10s %9s %9s %9s %9s %8s %10s\n' scan wall CPU "peak MiB" reading "dup files" \
  "dup fold." similar groups "found MB"
row "full keys (1 run)" "$check_output"
row "partial keys (default)" "$default_output"
echo
if [ "$check_status" -eq 0 ]; then
  grep '^groups agree' <<<"$check_output" | sed 's/^/check: /'
else
  echo "check: the scan's groups and the walk's sets of identical files DIFFER (see above)"
fi
load=$(cut -d' ' -f1 /proc/loadavg)
echo "load average: $load"
if awk -v l="$load" -v n="$(nproc)" 'BEGIN { exit !(l > n / 2) }'; then
  echo "warning: the machine is busy; wall times are unreliable"
fi
exit "$check_status"
