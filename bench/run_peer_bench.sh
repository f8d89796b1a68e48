#!/usr/bin/env bash
# Times `kestrane scan` beside jdupes, rmlint, fdupes and rdfind on the
# generated duplicates corpus, page cache warm, all tools in the same run
# taking turns, and checks Kestrane's groups of identical files against
# jdupes' sets. See bench/README.md.
#
#     bench/run_peer_bench.sh [TREE]
#
# Environment: REPEAT (rounds, default 3), SEED, FILES, FOLDERS, MAX_SIZE,
# DOUBTFUL_WEIGHT (the generated corpus, default 1 / 150000 / 107 per 1000
# files / 64M / 1: see kestrane_make_tree --help), BUILD_DIR
# (default build/release), KESTRANE (a kestrane binary to time instead of the
# one built here), KEEP_OUTPUTS (a folder to keep every tool's output in).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
repeat=${REPEAT:-3}
seed=${SEED:-1}
files=${FILES:-150000}
folders=${FOLDERS:-$((files * 107 / 1000))}
max_size=${MAX_SIZE:-64M}
doubtful_weight=${DOUBTFUL_WEIGHT:-1}
build=$(realpath -m "${BUILD_DIR:-$repo/build/release}")  # absolute: the tools run elsewhere
default_tree=$repo/build/bench-tree/s$seed-f$files-d$folders-dup-m$max_size
[ "$doubtful_weight" = 1 ] || default_tree+=-w$doubtful_weight
tree=${1:-$default_tree}

say() { printf '== %s\n' "$*"; }

# ---- the peers, from Debian's packages (only when one is missing) ------------
packages=(jdupes rmlint fdupes rdfind time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || {
      echo "run_peer_bench: missing ${missing[*]}, and I am neither root nor have sudo" >&2
      exit 1
    }
    sudo_cmd=(sudo -n)
  fi
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
versions=()
for p in jdupes rmlint fdupes rdfind; do versions+=("$p $(dpkg-query -W -f='${Version}' "$p")"); done

# ---- Release build ------------------------------------------------------------
say "building (Release) in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANE_BUILD_BENCH=ON >/dev/null
if [ -n "${KESTRANE:-}" ]; then
  cmake --build "$build" --target kestrane_make_tree kestrane_compare_groups kestrane_scan_floor
  kestrane=$(realpath "$KESTRANE")
else
  cmake --build "$build" --target kestrane kestrane_make_tree kestrane_compare_groups kestrane_scan_floor
  kestrane=$(find "$build" -name kestrane -type f -perm -u+x -not -path '*/CMakeFiles/*' | head -n 1)
fi
[ -x "$kestrane" ] || { echo "run_peer_bench: no kestrane binary (under $build, or \$KESTRANE)" >&2; exit 1; }
compare=$build/bench/kestrane_compare_groups
floor=$build/bench/kestrane_scan_floor

say "checking the group comparison on a small tree"
"$repo/bench/check_compare_groups.sh" "$compare"

# ---- corpus and page cache ------------------------------------------------------
say "corpus"
make_tree_args=(--duplicates --seed "$seed" --files "$files" --folders "$folders" --max-size "$max_size")
[ "$doubtful_weight" = 1 ] || make_tree_args+=(--doubtful-weight "$doubtful_weight")
"$build/bench/kestrane_make_tree" "$tree" "${make_tree_args[@]}"
tree=$(realpath "$tree")  # every tool gets one absolute path, so that their paths compare

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/cwd" "$work/out" "$work/config" "$work/data" "$work/cache"
# Default settings for Kestrane, never the user's: fresh preference folders.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache

say "warming the page cache"
find "$tree" -type f -print0 | xargs -0 cat >/dev/null

# ---- the runs -----------------------------------------------------------------------
# Every command writes its findings into $work/out; each runs in $work/cwd, so
# that nothing a tool writes beside it lands in the corpus or the caller's folder.
# The floor is no duplicate finder: the listing and the reads a default search
# cannot skip, with nothing else (see bench/ScanFloor.cpp).
labels=("kestrane (default)" "kestrane --full-hash" "jdupes" "rmlint" "fdupes" "rdfind" "floor (no hashing)")
keys=(kd kf jdupes rmlint fdupes rdfind floor)
set_command() {  # set_command KEY: the command line into cmd; its standard output goes to out/KEY.txt
  local out=$work/out
  case $1 in
    kd) cmd=("$kestrane" scan --no-progress --yes --min-size all --hidden --format json --output "$out/kd.json" "$tree") ;;
    kf) cmd=("$kestrane" scan --no-progress --yes --min-size all --hidden --full-hash --format json
             --output "$out/kf.json" "$tree") ;;
    jdupes) cmd=(jdupes -r -q "$tree") ;;
    # --without-fiemap: see bench/README.md (rmlint on a disk that says it is rotational).
    rmlint) cmd=(rmlint -T df --hidden --without-fiemap -o "fdupes:$out/rmlint-sets.txt" "$tree") ;;
    fdupes) cmd=(fdupes -r -q "$tree") ;;
    rdfind) cmd=(rdfind -dryrun true -outputname "$out/rdfind-results.txt" "$tree") ;;
    floor) cmd=("$floor" "$tree") ;;
  esac
}

declare -A wall cpu rss
stage_names=(readingSeconds duplicateFilesSeconds duplicateFoldersSeconds similarFoldersSeconds)
declare -A stages
json_number() { grep -o "\"$1\": *[0-9.eE+-]*" "$2" | head -n 1 | sed 's/.*: *//'; }

say "timing: $repeat rounds, the tools taking turns"
for ((round = 0; round < repeat; round++)); do
  line="round $((round + 1)):"
  for ((i = 0; i < ${#keys[@]}; i++)); do
    key=${keys[(i + round) % ${#keys[@]}]}  # each round starts with the next tool
    set_command "$key"
    status=0
    (cd "$work/cwd" && /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "${cmd[@]}" \
      >"$work/out/$key.txt" 2>"$work/out/$key.err") || status=$?
    if [ "$status" -ne 0 ]; then
      echo "run_peer_bench: $key failed with status $status:" >&2
      tail -n 20 "$work/out/$key.err" >&2
      exit 1
    fi
    read -r e u s m < <(tail -n 1 "$work/time.txt")
    wall[$key]+="$e "
    cpu[$key]+="$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }') "
    rss[$key]+="$m "
    line+=" $key ${e}s"
    if [ "$key" = kd ] || [ "$key" = kf ]; then
      for stage in "${stage_names[@]}"; do stages[$key.$stage]+="$(json_number "$stage" "$work/out/$key.json") "; done
    fi
  done
  echo "$line"
done
if [ -n "${KEEP_OUTPUTS:-}" ]; then
  mkdir -p "$KEEP_OUTPUTS"
  cp "$work/out/"* "$KEEP_OUTPUTS/"
fi

# ---- the table ---------------------------------------------------------------------------
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A mw mc mr
for key in "${keys[@]}"; do
  mw[$key]=$(median "${wall[$key]}")
  mc[$key]=$(median "${cpu[$key]}")
  mr[$key]=$(median "${rss[$key]}")
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }

echo
say "duplicate search in $tree, page cache warm, $(nproc) CPUs, medians of $repeat runs"
grep -E '^(regular_files|folders_made|symlinks|bytes|largest_file) ' "$tree.stamp" | tr '\n' ' '
echo
echo "peers: ${versions[*]}"
# Kestrane's content keys use the widest MD5 lanes the processor has (AVX-512, AVX2, SSE2).
echo "processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'); vector units:" \
  "$(grep -m1 '^flags' /proc/cpuinfo | tr ' ' '\n' | grep -xE 'sse2|avx2|avx512f' | tr '\n' ' ')"
printf '%-22s %9s %9s %10s %12s %12s\n' tool "wall s" "CPU s" "peak MiB" "wall vs kd" "memory vs kd"
for ((i = 0; i < ${#keys[@]}; i++)); do
  key=${keys[i]}
  printf '%-22s %9.2f %9.2f %10.1f %11sx %11sx\n' "${labels[i]}" "${mw[$key]}" "${mc[$key]}" \
    "$(awk -v k="${mr[$key]}" 'BEGIN { print k / 1024 }')" "$(ratio "${mw[$key]}" "${mw[kd]}")" \
    "$(ratio "${mr[$key]}" "${mr[kd]}")"
done

echo
echo "Kestrane's stages (seconds, medians; from the report's stats):"
printf '%-22s %9s %9s %9s %9s\n' scan reading "dup files" "dup fold." similar
for i in 0 1; do
  row=()
  for stage in "${stage_names[@]}"; do row+=("$(median "${stages[${keys[i]}.$stage]}")"); done
  printf '%-22s %9.2f %9.2f %9.2f %9.2f\n' "${labels[i]}" "${row[@]}"
done

echo
goal() {  # goal TEXT VALUE REFERENCE LIMIT: the ratio VALUE / REFERENCE against LIMIT
  local ratio verdict
  ratio=$(ratio "$2" "$3")
  verdict=$(awk -v r="$ratio" -v l="$4" 'BEGIN { print (r <= l) ? "met" : "NOT met" }')
  printf 'goal: %-34s %5sx (goal <= %sx) %-8s (%s against %s)\n' "$1" "$ratio" "$4" "$verdict" "$2" "$3"
}
goal "default scan wall / jdupes wall" "${mw[kd]}" "${mw[jdupes]}" 0.33
goal "full-hash scan wall / jdupes wall" "${mw[kf]}" "${mw[jdupes]}" 1.0
goal "default peak memory / jdupes peak" "${mr[kd]}" "${mr[jdupes]}" 1.0
# The floor must have looked at every file of the corpus, or it is too low.
floor_files=$(grep -o 'files [0-9]*' "$work/out/floor.txt" | head -n 1 | cut -d' ' -f2)
stamp_files=$(grep '^regular_files ' "$tree.stamp" | cut -d' ' -f2)
if [ "$floor_files" != "$stamp_files" ]; then
  echo "run_peer_bench: the floor saw $floor_files files, the corpus has $stamp_files" >&2
  exit 1
fi
# What the default goal leaves for hashing and for building the groups, the
# folders and the report, once the calls no search can skip are paid.
floor_ratio=$(ratio "${mw[floor]}" "${mw[jdupes]}")
echo "floor: the listing and reads alone take $floor_ratio x jdupes' wall time;" \
  "the default goal leaves $(awk -v j="${mw[jdupes]}" -v f="${mw[floor]}" 'BEGIN { printf "%.2f", 0.33 * j - f }') s beyond them"

echo
say "groups of identical files: kestrane --full-hash against jdupes (last round)"
compare_status=0
"$compare" "$work/out/kf.json" "$work/out/jdupes.txt" || compare_status=$?

echo
echo "load: $(uptime)"
load=$(cut -d' ' -f1 /proc/loadavg)
if awk -v l="$load" -v n="$(nproc)" 'BEGIN { exit !(l > n / 2) }'; then
  echo "warning: the machine is busy (load $load on $(nproc) CPUs); wall times are unreliable"
fi
exit "$compare_status"
