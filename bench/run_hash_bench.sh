#!/usr/bin/env bash
# Times Kestrane's content hashing against md5sum and `openssl md5` on the same
# files in one run, page cache warm. See bench/README.md.
#
#     bench/run_hash_bench.sh
#
# Environment: SETS (candidate sets in the corpus, default 20000), SEED
# (default 1), REPEAT (rounds over the corpus, the fastest of each tool
# counts, default 3), LARGE_MIB (size of the single large file, default 512),
# LARGE_REPEAT (rounds over it, default 5), BUILD_DIR (default
# build/release), CORPUS (default build/hash-bench-corpus/s$SEED-n$SETS).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sets=${SETS:-20000}
seed=${SEED:-1}
repeat=${REPEAT:-3}
large_repeat=${LARGE_REPEAT:-5}
large_mib=${LARGE_MIB:-512}
build=${BUILD_DIR:-$repo/build/release}
corpus=${CORPUS:-$repo/build/hash-bench-corpus/s$seed-n$sets}
bench=$build/bench/kestrane_hash_bench

# Goal: the full-key routine within this share of `openssl md5`'s throughput.
md5_goal_ratio=0.90

for tool in md5sum openssl /usr/bin/time; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "run_hash_bench: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

echo "== building (Release) in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANE_BUILD_BENCH=ON \
  -DKESTRANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target kestrane_hash_bench

echo "== corpus"
mkdir -p "$(dirname "$corpus")"
"$bench" corpus "$corpus" --sets "$sets" --seed "$seed"
list=$corpus/files.txt
files=$(wc -l <"$list")
bytes=$(xargs -a "$list" -d '\n' stat -c %s | awk '{ s += $1 } END { printf "%d", s }')

echo "== warming the page cache"
xargs -a "$list" -d '\n' cat >/dev/null

now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }
min() { sort -g | head -1; }
rate() { awk -v n="$1" -v s="$2" -v d="$3" 'BEGIN { printf "%.*f", d, n / s }'; }
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
measure=$(mktemp)
large=$build/hash-bench-large.bin
trap 'rm -f "$measure" "$large"' EXIT
# Runs a command under /usr/bin/time; sets wall (s, by the clock around it)
# and cpu (user + system s); its output goes to $out.
# With --quiet first, the output is dropped instead.
timed() {
  local start end
  if [ "$1" = --quiet ]; then
    shift
    start=$(now)
    /usr/bin/time -f '%U %S' -o "$measure" "$@" >/dev/null
    end=$(now)
    out=
  else
    start=$(now)
    out=$(/usr/bin/time -f '%U %S' -o "$measure" "$@")
    end=$(now)
  fi
  wall=$(seconds "$start" "$end")
  cpu=$(awk '{ printf "%.3f", $1 + $2 }' "$measure")
}

# The tools take turns, so that other work on the machine weighs on all alike.
echo "== $repeat rounds: md5sum over the same $files files, Kestrane with partial keys, Kestrane with full keys"
md5sum_walls=() md5sum_cpus=() partial_walls=() partial_cpus=() full_walls=() full_cpus=()
for ((run = 1; run <= repeat; run++)); do
  timed --quiet xargs -a "$list" -d '\n' md5sum
  md5sum_walls+=("$wall") md5sum_cpus+=("$cpu")
  echo "round $run: md5sum $wall s wall, $cpu s CPU"
  timed "$bench" separate "$corpus"
  line=$(grep '^separate(' <<<"$out")
  [ "$(field groups "$line")" = "$(field expected_groups "$line")" ] || { echo "$line" >&2; exit 1; }
  partial_walls+=("$(field seconds "$line")") partial_cpus+=("$cpu")
  echo "round $run: kestrane partial keys $(field seconds "$line") s wall (separation only), $cpu s CPU (whole process)"
  timed "$bench" separate "$corpus" --full
  line=$(grep '^separate(' <<<"$out")
  [ "$(field groups "$line")" = "$(field expected_groups "$line")" ] || { echo "$line" >&2; exit 1; }
  full_walls+=("$(field seconds "$line")") full_cpus+=("$cpu")
  echo "round $run: kestrane full keys $(field seconds "$line") s wall (separation only), $cpu s CPU (whole process)"
done
echo "groups found: $(field groups "$line") of $(field expected_groups "$line") expected, every file keyed"
md5sum_s=$(printf '%s\n' "${md5sum_walls[@]}" | min)
partial_s=$(printf '%s\n' "${partial_walls[@]}" | min)
full_s=$(printf '%s\n' "${full_walls[@]}" | min)
md5sum_c=$(printf '%s\n' "${md5sum_cpus[@]}" | min)
partial_c=$(printf '%s\n' "${partial_cpus[@]}" | min)
full_c=$(printf '%s\n' "${full_cpus[@]}" | min)

echo "== one large file: $large_mib MiB, $large_repeat rounds of openssl md5 and Kestrane's full key"
head -c "$((large_mib * 1024 * 1024))" /dev/urandom >"$large"
cat "$large" >/dev/null
large_bytes=$(stat -c %s "$large")
openssl_walls=() openssl_cpus=() hash_walls=() hash_cpus=()
for ((run = 1; run <= large_repeat; run++)); do
  timed openssl md5 -r "$large"
  openssl_digest=${out%% *}
  openssl_walls+=("$wall") openssl_cpus+=("$cpu")
  timed "$bench" hash "$large"
  hash_digest=$(field digest "$out")
  hash_walls+=("$wall") hash_cpus+=("$cpu")
  echo "round $run: openssl ${openssl_walls[-1]} s wall ${openssl_cpus[-1]} s CPU; kestrane $wall s wall $cpu s CPU"
  if [ "$hash_digest" != "$openssl_digest" ]; then
    echo "run_hash_bench: digests differ: kestrane $hash_digest, openssl $openssl_digest" >&2
    exit 1
  fi
done
rm -f "$large"
openssl_s=$(printf '%s\n' "${openssl_walls[@]}" | min)
hash_s=$(printf '%s\n' "${hash_walls[@]}" | min)
openssl_c=$(printf '%s\n' "${openssl_cpus[@]}" | min)
hash_c=$(printf '%s\n' "${hash_cpus[@]}" | min)

echo
echo "== results (fastest round of each; load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) CPUs)"
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }')
echo "corpus: $sets candidate sets, $files files, $mb MB"
printf '%-32s %8s %8s %9s %9s %11s\n' tool "wall s" "CPU s" files/s MB/s "wall vs md5sum"
row() {
  printf '%-32s %8s %8s %9s %9s %11s\n' "$1" "$2" "$3" "$(rate "$files" "$2" 0)" "$(rate "$mb" "$2" 1)" \
    "$(awk -v a="$2" -v b="$md5sum_s" 'BEGIN { printf "%.2fx", a / b }')"
}
row "md5sum (whole files)" "$md5sum_s" "$md5sum_c"
row "kestrane, partial keys" "$partial_s" "$partial_c"
row "kestrane, full keys" "$full_s" "$full_c"
echo "(files/s and MB/s: files separated and their total size per second of wall time; partial keys read at"
echo " most three blocks of a file. Kestrane's wall time is the separation alone, its CPU time the whole process.)"
echo
large_mb=$(awk -v b="$large_bytes" 'BEGIN { printf "%.1f", b / 1e6 }')
openssl_rate=$(rate "$large_mb" "$openssl_s" 1)
hash_rate=$(rate "$large_mb" "$hash_s" 1)
openssl_cpu_rate=$(rate "$large_mb" "$openssl_c" 1)
hash_cpu_rate=$(rate "$large_mb" "$hash_c" 1)
wall_ratio=$(awk -v a="$hash_rate" -v b="$openssl_rate" 'BEGIN { printf "%.3f", a / b }')
cpu_ratio=$(awk -v a="$hash_cpu_rate" -v b="$openssl_cpu_rate" 'BEGIN { printf "%.3f", a / b }')
echo "large file: $large_mb MB, digest $hash_digest (both tools agree)"
printf '%-32s %8s %8s %11s %11s\n' tool "wall s" "CPU s" "MB/s wall" "MB/s CPU"
printf '%-32s %8s %8s %11s %11s\n' "openssl md5" "$openssl_s" "$openssl_c" "$openssl_rate" "$openssl_cpu_rate"
printf '%-32s %8s %8s %11s %11s\n' "kestrane full key" "$hash_s" "$hash_c" "$hash_rate" "$hash_cpu_rate"
echo "kestrane / openssl throughput: $wall_ratio by wall time, $cpu_ratio by CPU time"
# Both are single-threaded and read a warm file, so on an idle machine wall
# and CPU time agree; under load only the CPU time holds up, and it decides.
if awk -v r="$cpu_ratio" -v g="$md5_goal_ratio" 'BEGIN { exit !(r >= g) }'; then
  echo "goal met: kestrane at $cpu_ratio x openssl's throughput per CPU second (goal >= $md5_goal_ratio)"
else
  echo "goal MISSED: kestrane at $cpu_ratio x openssl's throughput per CPU second (goal >= $md5_goal_ratio)"
  exit 1
fi
