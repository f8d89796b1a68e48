#!/usr/bin/env bash
# Writes a picture of every screen of the desktop app into docs/screenshots/,
# in the light and the dark palette, without a display (Qt's offscreen
# platform), on a small generated tree of photos, documents and music.
#
#     scripts/screenshots.sh [OUTPUT_FOLDER]
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$repo/docs/screenshots}

"$repo/scripts/setup.sh" >&2
flags=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANE_WERROR=ON -DKESTRANE_BUILD_TESTS=ON)
if command -v ccache >/dev/null 2>&1; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$repo" -B "$repo/build/release" "${flags[@]}" >&2
cmake --build "$repo/build/release" --target kestrane_screenshot_tour -j "$(nproc)" >&2

export QT_QPA_PLATFORM=offscreen
# The same fonts whoever runs it.
export QT_QPA_FONTDIR=${QT_QPA_FONTDIR:-/usr/share/fonts/truetype/dejavu}
mkdir -p "$out"
"$repo/build/release/tests/kestrane_screenshot_tour" "$out"
"$repo/build/release/tests/kestrane_screenshot_tour" "$out" --dark
