#!/bin/sh
# Times the same small programs in vke and in GNU Octave as whole processes
# (hyperfine) and prints, for each, the ratio of Octave's mean time to
# vke's; then times scalar division in vke with the "!lapack" library
# registered and without it (--no-lapack), where the ratio should stay near
# 1. Builds vke in the Release configuration first. Not run in CI.
# Programs (bench/programs/NAME.vke and NAME.m) may be named as arguments.
#   bench/compare_octave.sh            RUNS=10 bench/compare_octave.sh recursion
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
runs=${RUNS:-5}
for tool in hyperfine octave-cli python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target vke >/dev/null
vke="$build/tools/vke"
out=$(mktemp -d)
printf '%-18s %12s %12s %10s\n' program "vke (s)" "octave (s)" "ratio"
export OPENBLAS_NUM_THREADS=1
for name in ${*:-scalar_loop scalar_division recursion vector_slices string_building}; do
  hyperfine --warmup 1 --runs "$runs" --export-json "$out/$name.json" \
    -n vke "$vke $here/programs/$name.vke" \
    -n octave "octave-cli --norc --quiet $here/programs/$name.m" >/dev/null 2>&1
  python3 - "$out/$name.json" "$name" <<'PY'
import json, sys
results = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
v, o = results["vke"], results["octave"]
print(f"{sys.argv[2]:<18} {v:12.4f} {o:12.4f} {o / v:10.1f}")
PY
done
printf '\n%-18s %12s %12s %10s\n' program "vke (s)" "no-lapack (s)" "ratio"
hyperfine --warmup 1 --runs "$runs" --export-json "$out/lapack.json" \
  -n lapack "$vke $here/programs/scalar_division.vke" \
  -n plain "$vke --no-lapack $here/programs/scalar_division.vke" >/dev/null 2>&1
python3 - "$out/lapack.json" <<'PY'
import json, sys
results = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
v, p = results["lapack"], results["plain"]
print(f"{'scalar_division':<18} {v:12.4f} {p:12.4f} {v / p:10.2f}")
PY
rm -rf "$out"
