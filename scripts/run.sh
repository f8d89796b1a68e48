#!/usr/bin/env bash
# Sets everything up, builds Kestrane (Release) and scans folders.
#
#     scripts/run.sh                 scans /usr/share (found on every Debian machine)
#     scripts/run.sh FOLDER...       scans your folders
#     scripts/run.sh [OPTIONS] FOLDER...   any option of `kestrane scan` (see --help)
#
# The report goes to standard output, progress to standard error. The binary
# stays in build/release/kestrane for later runs.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$repo/scripts/setup.sh" >&2
cmake -S "$repo" -B "$repo/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRANE_WERROR=ON \
  -DKESTRANE_BUILD_TESTS=ON >&2
cmake --build "$repo/build/release" --target kestrane >&2

if [ "$#" -eq 0 ]; then
  set -- /usr/share
fi
exec "$repo/build/release/kestrane" scan "$@"
