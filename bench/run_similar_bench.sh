#!/usr/bin/env bash
# Folders that are all alike: N folders each holding the same two files (and
# one file of its own, so that no two folders are copies of each other) make a
# similar-folder pair of every two of them, N * (N - 1) / 2. Times
# `kestrane scan` on such trees and reports its peak memory, for the human and
# the JSON report. See bench/README.md.
#
#     bench/run_similar_bench.sh
#
# Environment: COUNTS (folder counts, default "1000 2000"), REPEAT (runs of
# each scan, default 3; the table shows the median time and the largest peak),
# BUILD_DIR (default build/release), KESTRANE (a kestrane binary to time
# instead of the one built here), TREES (where the trees go, default
# build/bench-tree).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
counts=${COUNTS:-1000 2000}
repeat=${REPEAT:-3}
build=$(realpath -m "${BUILD_DIR:-$repo/build/release}")
trees=$(realpath -m "${TREES:-$repo/build/bench-tree}")

say() { printf '== %s\n' "$*"; }

if [ -n "${KESTRANE:-}" ]; then
  kestrane=$(realpath "$KESTRANE")
else
  say "building kestrane (Release) in $build"
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target kestrane >/dev/null
  kestrane=$(find "$build" -name kestrane -type f -perm -u+x -not -path '*/CMakeFiles/*' | head -n 1)
fi
[ -x "$kestrane" ] || { echo "run_similar_bench: no kestrane binary (under $build, or \$KESTRANE)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "run_similar_bench: needs /usr/bin/time (Debian package time)" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache

# The tree of N alike folders, made once and kept (a stamp names its count).
make_tree() {
  local n=$1 tree=$trees/alike-$1
  if [ -f "$tree.stamp" ] && [ "$(cat "$tree.stamp")" = "alike folders: $n" ]; then return; fi
  rm -rf "$tree"
  mkdir -p "$tree"
  local i
  for ((i = 1; i <= n; i++)); do
    local folder
    folder=$(printf '%s/f%05d' "$tree" "$i")
    mkdir "$folder"
    printf 'alpha content\n' >"$folder/a.txt"
    printf 'beta content\n' >"$folder/b.txt"
    printf 'only in %05d\n' "$i" >"$folder/own.txt"
  done
  echo "alike folders: $n" >"$tree.stamp"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

rows=()
for n in $counts; do
  say "tree of $n alike folders"
  make_tree "$n"
  for format in human json; do
    walls=() cpus=() peak=0
    for ((r = 1; r <= repeat; r++)); do
      /usr/bin/time -o "$scratch/time" -f '%e %U %S %M' \
        "$kestrane" scan --no-progress --format "$format" --output "$scratch/report" "$trees/alike-$n"
      read -r wall user sys rss <"$scratch/time"
      walls+=("$wall")
      cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')")
      [ "$rss" -gt "$peak" ] && peak=$rss
    done
    wall=$(printf '%s\n' "${walls[@]}" | median)
    cpu=$(printf '%s\n' "${cpus[@]}" | median)
    bytes=$(stat -c %s "$scratch/report")
    if [ "$format" = json ]; then
      listed=$(grep -c '^    {"folders":\[' "$scratch/report" || true)
      left=$(sed -n 's/^  "similarFolderPairsLeftOut": \([0-9]*\),$/\1/p' "$scratch/report")
      similar=$(sed -n 's/.*"similarFoldersSeconds":\([0-9.e-]*\).*/\1/p' "$scratch/report")
    else
      listed=$(grep -c '^    and ' "$scratch/report" || true)
      left=$(sed -n 's/^  \([0-9]*\) more similar-folder pairs\{0,1\} w.*/\1/p' "$scratch/report")
      similar=-
    fi
    rows+=("$(printf '| %s | %s | %s | %s | %s | %s | %s | %.1f | %.1f | %s |' "$n" "$((n * (n - 1) / 2))" \
      "$format" "$listed" "${left:-0}" "$wall" "$cpu" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" \
      "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$similar")")
  done
done

echo
echo "| folders | pairs | report | pairs listed | left out | wall s | CPU s | peak MiB | report MB | similar s |"
echo "|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "kestrane: $kestrane; median of $repeat runs (peak: the largest)"
uptime
