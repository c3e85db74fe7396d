#!/bin/sh
# Times the same small programs in vke and in GNU Octave as whole processes
# (hyperfine) and prints, for each, the ratio of Octave's mean time to
# vke's. Builds vke in the Release configuration first. Not run in CI.
#   bench/compare_octave.sh            RUNS=10 bench/compare_octave.sh
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
ode_programs="ode45_vanderpol ode23_vanderpol ode45_linear ode23_linear"
for name in scalar_loop recursion vector_slices string_building fminbnd_cos fzero_cos \
    fminsearch_rosenbrock quad_exp $ode_programs; do
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
# The ODE programs end by printing their output rows, which differ by
# design (step-size rules and defaults of their own).
printf '\n%-18s %12s %12s\n' program "vke rows" "octave rows"
for name in $ode_programs; do
  v=$("$vke" "$here/programs/$name.vke" | tail -n 1 | tr -d ' ')
  o=$(octave-cli --norc --quiet "$here/programs/$name.m" 2>/dev/null | tail -n 1 | tr -d ' ')
  printf '%-18s %12s %12s\n' "$name" "$v" "$o"
done
rm -rf "$out"
