#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite; then builds the Release configuration, the one
# users run, and runs the whole suite again there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
run_suite() {
  local build="$1"
  shift
  cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
  cmake --build "$build" --parallel
  (cd "$build" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
}
run_suite "$root/build/test" -DCMAKE_BUILD_TYPE=Debug -DVKE_SANITIZE=ON
run_suite "$root/build/release" -DCMAKE_BUILD_TYPE=Release
