#!/bin/sh
# Times the same small programs in vke and in GNU Octave as whole processes
# (hyperfine, no shell in between) and prints, for each, both mean times and
# the ratio of Octave's to vke's; then times scalar division in vke with the
# "!lapack" library registered and without it (--no-lapack), where the ratio
# should stay near 1. "empty" times the start of an empty program: the runner
# should start within 2.5 ms and at least 30 times faster than Octave; the
# shared libraries it maps are counted first. Programs (bench/programs/NAME.vke
# and NAME.m) may be named as arguments. Builds vke in the Release
# configuration first, unless VKE names a runner to time. Not run in CI.
#   bench/compare_octave.sh            RUNS=10 bench/compare_octave.sh recursion
#   RUNS=300 bench/compare_octave.sh empty
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
runs=${RUNS:-5}
for tool in hyperfine octave-cli python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
if [ -z "$VKE" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
  cmake --build "$build" --target vke >/dev/null
fi
vke=${VKE:-$build/tools/vke}
[ $# -gt 0 ] || set -- empty scalar_loop scalar_division recursion vector_slices string_building \
  fminbnd_cos fzero_cos fminsearch_rosenbrock quad_exp \
  ode45_vanderpol ode23_vanderpol ode45_linear ode23_linear
out=$(mktemp -d)
echo "shared libraries vke maps: $(ldd "$vke" | grep -c '=>')"
printf '%-18s %12s %12s %10s\n' program "vke (ms)" "octave (ms)" "ratio"
export OPENBLAS_NUM_THREADS=1
for name in "$@"; do
  hyperfine -N --warmup 3 --runs "$runs" --export-json "$out/$name.json" \
    -n vke "$vke $here/programs/$name.vke" \
    -n octave "octave-cli --norc --quiet $here/programs/$name.m" >/dev/null 2>&1
  python3 - "$out/$name.json" "$name" <<'PY'
import json, sys
results = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
v, o = results["vke"], results["octave"]
print(f"{sys.argv[2]:<18} {v * 1e3:12.2f} {o * 1e3:12.2f} {o / v:10.1f}")
PY
done
# The ODE programs end by printing their output rows, which differ by
# design (step-size rules and defaults of their own).
ode_rows=
for name in "$@"; do
  case $name in ode*) ode_rows="$ode_rows $name" ;; esac
done
if [ -n "$ode_rows" ]; then
  printf '\n%-18s %12s %12s\n' program "vke rows" "octave rows"
  for name in $ode_rows; do
    v=$("$vke" "$here/programs/$name.vke" | tail -n 1 | tr -d ' ')
    o=$(octave-cli --norc --quiet "$here/programs/$name.m" 2>/dev/null | tail -n 1 | tr -d ' ')
    printf '%-18s %12s %12s\n' "$name" "$v" "$o"
  done
fi
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
