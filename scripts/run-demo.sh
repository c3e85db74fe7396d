#!/usr/bin/env bash
# Builds the Release configuration and runs the demo program headless.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --parallel >/dev/null
exec "$build/tools/vke" "$root/examples/intro.vke" "$@"
