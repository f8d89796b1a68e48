#!/usr/bin/env bash
# Sets everything up, builds Kestrane and runs every test.
#   scripts/test.sh              Release build in build/release
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build/sanitize
#   scripts/test.sh --tsan       ThreadSanitizer build in build/tsan
set -euo pipefail
cd "$(dirname "$0")/.."

mode=release
case "${1:-}" in
  ""|--release) mode=release ;;
  --sanitize) mode=sanitize ;;
  --tsan) mode=tsan ;;
  --debug) mode=debug ;;
  *) echo "usage: $0 [--release|--debug|--sanitize|--tsan]" >&2; exit 2 ;;
esac

scripts/setup.sh

flags=(-G Ninja -DKESTRANE_WERROR=ON -DKESTRANE_BUILD_TESTS=ON)
# Rebuilds of the same sources (other build modes, other checkouts) come from
# the compiler cache when one is installed; nothing depends on it.
if command -v ccache >/dev/null 2>&1; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
case "$mode" in
  release)  flags+=(-DCMAKE_BUILD_TYPE=Release) ;;
  debug)    flags+=(-DCMAKE_BUILD_TYPE=Debug) ;;
  sanitize) flags+=(-DCMAKE_BUILD_TYPE=Debug -DKESTRANE_SANITIZE=ON -DKESTRANE_BUILD_BENCH=OFF) ;;
  tsan)     flags+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRANE_TSAN=ON -DKESTRANE_BUILD_BENCH=OFF) ;;
esac

build="build/$mode"
cmake -S . -B "$build" "${flags[@]}"
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
