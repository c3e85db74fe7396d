#!/bin/sh
# Formatted output against GNU Octave, as whole processes (hyperfine): a
# loop of 100,000 short sprintf rows, fib(22) printed once with fprintf, and
# ten million elements summed and printed. Prints each mean time and the
# ratio of Octave's mean to vke's (above 1: vke is faster). Builds vke in the
# Release configuration first. Not run in CI.
#   bench/compare_printing.sh            RUNS=10 bench/compare_printing.sh
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
runs=${RUNS:-5}
for tool in hyperfine octave-cli python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vke >/dev/null
vke="$build/tools/vke"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
printf '%-14s %12s %12s %10s\n' program "vke (s)" "octave (s)" "ratio"
for name in sprintf_loop fib_print large_print; do
  hyperfine --warmup 1 --runs "$runs" --export-json "$out/$name.json" \
    -n vke "$vke $here/programs/$name.vke" \
    -n octave "octave-cli --norc --quiet $here/programs/$name.m" >/dev/null 2>&1
  python3 - "$out/$name.json" "$name" <<'PY'
import json, sys
results = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
v, o = results["vke"], results["octave"]
print(f"{sys.argv[2]:<14} {v:12.4f} {o:12.4f} {o / v:10.1f}")
PY
done
