#!/bin/sh
# Times the start of an empty program as a whole process: vke against GNU
# Octave in the same run (hyperfine, no shell in between), and prints both
# means with the ratio, and the shared libraries vke maps. The runner is
# expected to start within 2.5 ms and at least 30 times faster than Octave.
# Builds vke in the Release configuration first. Not run in CI.
#   bench/compare_startup.sh            RUNS=500 bench/compare_startup.sh
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
runs=${RUNS:-300}
for tool in hyperfine octave-cli python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vke >/dev/null
vke=${VKE:-$build/tools/vke}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
: >"$out/empty.vke"
: >"$out/empty.m"
echo "shared libraries of vke: $(ldd "$vke" | grep -c '=>')"
hyperfine -N --warmup 20 --runs "$runs" --export-json "$out/vke.json" \
  -n vke "$vke $out/empty.vke" >/dev/null 2>&1
hyperfine -N --warmup 2 --runs 20 --export-json "$out/octave.json" \
  -n octave "octave-cli --norc --quiet $out/empty.m" >/dev/null 2>&1
python3 - "$out/vke.json" "$out/octave.json" <<'PY'
import json, sys
v = json.load(open(sys.argv[1]))["results"][0]
o = json.load(open(sys.argv[2]))["results"][0]
print(f"{'program':<14} {'vke (ms)':>10} {'octave (ms)':>12} {'ratio':>8}")
print(f"{'empty':<14} {v['mean'] * 1e3:10.2f} {o['mean'] * 1e3:12.1f} {o['mean'] / v['mean']:8.1f}")
print(f"vke median {v['median'] * 1e3:.2f} ms, min {v['min'] * 1e3:.2f} ms")
PY
