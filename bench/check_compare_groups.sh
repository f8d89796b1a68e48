#!/usr/bin/env bash
# Checks kestrane_compare_groups on a small tree made here: real jdupes output
# against reports written by hand, one that must agree and several that must
# not. run_peer_bench.sh runs it before it trusts the tool. See bench/README.md.
#
#     bench/check_compare_groups.sh COMPARE_TOOL
set -euo pipefail

tool=${1:?usage: check_compare_groups.sh PATH/TO/kestrane_compare_groups}
command -v jdupes >/dev/null || { echo "check_compare_groups: jdupes is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
t=$work/tree
mkdir -p "$t/a" "$t/b/deep" "$t/.hidden" "$t/c" "$t/Tool.app/Contents"

# Images: three copies, one hidden, one in a hidden folder.
head -c 3000 /dev/urandom >"$t/a/IMG_0001.jpg"
cp "$t/a/IMG_0001.jpg" "$t/b/IMG_0001 copy.jpg"
cp "$t/a/IMG_0001.jpg" "$t/.hidden/IMG_0001.jpg"
# One content under a music and a document name: jdupes has one set, split by
# category into a pair of songs and a text file left alone.
head -c 5000 /dev/urandom >"$t/a/song.mp3"
cp "$t/a/song.mp3" "$t/b/deep/song-1.mp3"
cp "$t/a/song.mp3" "$t/c/song.txt"
# A name that is not UTF-8: the report carries it as pathBase64.
odd=$(printf 'caf\351.bin')
head -c 700 /dev/urandom >"$t/c/$odd"
cp "$t/c/$odd" "$t/b/$odd"
# What the scan never takes, identical in several places: Finder droppings,
# a skipped extension, the inside of a package; empty files; symbolic links.
head -c 600 /dev/urandom >"$t/a/.DS_Store"
cp "$t/a/.DS_Store" "$t/b/.DS_Store"
head -c 400 /dev/urandom >"$t/a/Info.PLIST"
cp "$t/a/Info.PLIST" "$t/c/Info.PLIST"
head -c 900 /dev/urandom >"$t/Tool.app/Contents/binary"
cp "$t/Tool.app/Contents/binary" "$t/c/binary"
: >"$t/a/.gitkeep"
: >"$t/b/.gitkeep"
ln -s IMG_0001.jpg "$t/a/link.jpg"
ln -s ../a "$t/c/loop"

jdupes -r -q "$t" >"$work/jdupes.txt"
jdupes -r -q -0 -z "$t" >"$work/jdupes0.txt"  # NUL-separated, empty files paired

b64() { printf '%s' "$1" | base64 -w0; }
item() { printf '{"path": "%s", "size": %s, "modified": "2024-01-01T00:00:00+00:00", "selected": false}' "$1" "$2"; }
# odd_item FOLDER: the odd name in FOLDER, its readable form with U+FFFD.
odd_item() {
  printf '{"path": "%s/caf\\ufffd.bin", "pathBase64": "%s", "size": 700, "modified": "2024-01-01T00:00:00+00:00", "selected": false}' \
    "$1" "$(b64 "$1/$odd")"
}
# report FULL_HASH IMAGE_ITEMS MUSIC_ITEMS OTHER_ITEMS EXTRA_CATEGORY_0_GROUP
report() {
  cat <<EOF
{"format": "kestrane-scan-report", "version": 1, "fullHash": $1, "includeHidden": true,
 "folders": [{"path": "$t"}], "minimalSize": 0,
 "categories": [
  {"number": 0, "name": "images", "groups": [{"id": 1, "size": 3000, "items": [$2]}$5]},
  {"number": 1, "name": "videos", "groups": []},
  {"number": 2, "name": "music", "groups": [{"id": 2, "size": 5000, "items": [$3]}]},
  {"number": 3, "name": "documents", "groups": [{"id": 3, "size": 0, "items": [$(item "$t/a/.gitkeep" 0), $(item "$t/b/.gitkeep" 0)]}]},
  {"number": 4, "name": "archives", "groups": []},
  {"number": 5, "name": "other", "groups": []},
  {"number": 6, "name": "folders", "groups": [{"id": 5, "size": 1, "items": [$(item "$t/a" 1), $(item "$t/b" 1)]}]}
 ],
 "insideDuplicateFolders": [{"id": 4, "category": 5, "size": 700, "items": [$4]}],
 "similarFolders": [], "stats": {}}
EOF
}
images="$(item "$t/a/IMG_0001.jpg" 3000), $(item "$t/b/IMG_0001 copy.jpg" 3000), $(item "$t/.hidden/IMG_0001.jpg" 3000)"
songs="$(item "$t/a/song.mp3" 5000), $(item "$t/b/deep/song-1.mp3" 5000)"
others="$(odd_item "$t/c"), $(odd_item "$t/b")"

failures=0
expect() {  # expect STATUS TEXT JDUPES_OUTPUT REPORT_ARGS...
  local status=$1 text=$2 output=$3
  shift 3
  report "$@" >"$work/report.json"
  local got=0 printed
  printed=$("$tool" "$work/report.json" "$output" 2>&1) || got=$?
  if [ "$got" -ne "$status" ] || ! grep -q -- "$text" <<<"$printed"; then
    echo "check_compare_groups: expected status $status and \"$text\", got status $got:" >&2
    echo "$printed" >&2
    failures=$((failures + 1))
  fi
}

# The same groups: everything jdupes sees beyond them is accounted for.
expect 0 "groups agree: 3 groups, 7 files" "$work/jdupes.txt" true "$images" "$songs" "$others" ""
expect 0 "jdupes: 6 sets, 14 files; left out: 0 symbolic links, 0 not regular files, 5 that the scan never takes, 0 empty; 1 sets split by category, 2 files alone" \
  "$work/jdupes.txt" true "$images" "$songs" "$others" ""
expect 0 "jdupes: 7 sets, 16 files; left out: 0 symbolic links, 0 not regular files, 5 that the scan never takes, 2 empty" \
  "$work/jdupes0.txt" true "$images" "$songs" "$others" ""
expect 0 "groups agree: 3 groups" "$work/jdupes0.txt" true "$images" "$songs" "$others" ""
# A report made with partial keys is compared all the same, with a note.
expect 0 "note: the report was made with partial keys" "$work/jdupes.txt" false "$images" "$songs" "$others" ""
# A copy missing from a group.
expect 1 "only Kestrane's: 1; only jdupes': 1" "$work/jdupes.txt" true \
  "$(item "$t/a/IMG_0001.jpg" 3000), $(item "$t/b/IMG_0001 copy.jpg" 3000)" "$songs" "$others" ""
# The text file taken into the songs' group, where jdupes' set was split.
expect 1 "song.txt  (jdupes: left out, alone in its category" "$work/jdupes.txt" true "$images" \
  "$songs, $(item "$t/c/song.txt" 5000)" "$others" ""
# A group of files the scan never takes.
expect 1 "only Kestrane's: 1; only jdupes': 0" "$work/jdupes.txt" true "$images" "$songs" "$others" \
  ", {\"id\": 9, \"size\": 600, \"items\": [$(item "$t/a/.DS_Store" 600), $(item "$t/b/.DS_Store" 600)]}"
# The odd name given by its readable form only: it no longer matches the real path.
expect 1 "groups DIFFER" "$work/jdupes.txt" true "$images" "$songs" \
  "$(item "$t/c/caf\\ufffd.bin" 700), $(item "$t/b/caf\\ufffd.bin" 700)" ""
# One path in two groups.
expect 1 "in two Kestrane groups: $t/a/IMG_0001.jpg" "$work/jdupes.txt" true "$images" "$songs" "$others" \
  ", {\"id\": 9, \"size\": 3000, \"items\": [$(item "$t/a/IMG_0001.jpg" 3000), $(item "$t/c/x.jpg" 3000)]}"
# jdupes output that names a file that is not there (a name cut at a line break).
printf '%s\n%s\n\n' "$t/a/IMG_0001" "$t/b/IMG_0001 copy.jpg" >"$work/broken.txt"
expect 2 "does not exist" "$work/broken.txt" true "$images" "$songs" "$others" ""
# Not a report.
echo '{"format": "something else"}' >"$work/other.json"
if "$tool" "$work/other.json" "$work/jdupes.txt" >/dev/null 2>&1; then
  echo "check_compare_groups: a file that is not a report was accepted" >&2
  failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
  echo "check_compare_groups: $failures checks FAILED" >&2
  exit 1
fi
echo "check_compare_groups: all checks passed"
