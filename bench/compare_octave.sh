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
# Then, unless SIZED=0, the programs that start with "n = N;" run at three
# sizes each (the runner in its sliced mode, as always): nanoseconds per
# iteration or element in vke, Octave and, for the scalar loop, Lua 5.4
# (lua5.4, when installed), the start of an empty program taken off, and
# Octave's whole-process time over vke's. Before those, where lua5.4 is
# installed, the programs with a .lua version run against Lua (vke's time
# over Lua's, with the targets of the handler loop, recursion and the
# scalar loop beside them). The targets: scalar loop at
# 2e6 at least 20 times Octave (at most 26 ns per iteration), recursion 30
# times, vector work at 1e6 and 1e7 elements 1.5 times, string building and
# vector growth 10 times. Each row that has a target says "met" or "below"
# beside it (medians of the runs).
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
  vector_work vector_growth mixed_loop matrix_elements \
  fminbnd_cos fzero_cos fminsearch_rosenbrock quad_exp \
  ode45_vanderpol ode23_vanderpol ode45_linear ode23_linear
out=$(mktemp -d)
# The targets: a program's ratio at its own size, or NAME@N at size N; "ns"
# bounds vke's nanoseconds per iteration as well.
export TARGETS="recursion:30 scalar_loop:20 vector_work:1.5 string_building:10
vector_growth:10 scalar_loop@2000000:20:ns26 vector_work@1000000:1.5
vector_work@10000000:1.5 string_building@50000:10 vector_growth@100000:10"
cat >"$out/target.py" <<'PY'
import os
def verdict(key, ratio, ns=None):
    for spec in os.environ["TARGETS"].split():
        name, least, *bound = spec.split(":")
        if name != key:
            continue
        most = float(bound[0][2:]) if bound else None
        met = ratio >= float(least) and (most is None or ns is None or ns <= most)
        want = f">={least}" + (f", <={most:g} ns" if most else "")
        return f"{want:>16} {'met' if met else 'below'}"
    return ""
PY
echo "shared libraries vke maps: $(ldd "$vke" | grep -c '=>')"
printf '%-18s %12s %12s %10s %16s\n' program "vke (ms)" "octave (ms)" "ratio" target
export OPENBLAS_NUM_THREADS=1
for name in "$@"; do
  hyperfine -N --warmup 3 --runs "$runs" --export-json "$out/$name.json" \
    -n vke "$vke $here/programs/$name.vke" \
    -n octave "octave-cli --norc --quiet $here/programs/$name.m" >/dev/null 2>&1
  python3 - "$out/$name.json" "$name" "$out" <<'PY'
import json, sys
sys.path.insert(0, sys.argv[3])
from target import verdict
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
v, o = results["vke"], results["octave"]
print(f"{sys.argv[2]:<18} {v * 1e3:12.2f} {o * 1e3:12.2f} {o / v:10.1f} {verdict(sys.argv[2], o / v)}")
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
# Against Lua 5.4 (when installed), whole processes: the programs that have
# a .lua version, vke's time over Lua's. The targets bound that ratio: the
# mixed handler loop within 3 times Lua, recursion and the scalar loop
# within 2 times.
if command -v lua5.4 >/dev/null; then
  printf '\n%-18s %12s %12s %10s %8s\n' program "vke (ms)" "lua (ms)" "vke/lua" target
  for name in mixed_loop recursion call_loop scalar_loop matrix_elements string_building; do
    hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/lua.json" \
      -n vke "$vke $here/programs/$name.vke" -n lua "lua5.4 $here/programs/$name.lua" \
      >/dev/null 2>&1
    python3 - "$out/lua.json" "$name" <<'PY'
import json, sys
t = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
most = {"mixed_loop": 3, "recursion": 2, "scalar_loop": 2}.get(sys.argv[2])
r = t["vke"] / t["lua"]
verdict = f"<={most} {'met' if r <= most else 'above'}" if most else ""
print(f"{sys.argv[2]:<18} {t['vke'] * 1e3:12.2f} {t['lua'] * 1e3:12.2f} {r:10.2f} {verdict:>8}")
PY
  done
fi
if [ "${SIZED:-1}" != 0 ]; then
  printf '\n%-16s %9s %10s %10s %10s %8s %16s\n' program size "vke ns/it" "oct ns/it" "lua ns/it" \
    ratio target
  hyperfine -N --warmup 3 --runs 20 --export-json "$out/empty.json" \
    -n vke "$vke $here/programs/empty.vke" -n octave "octave-cli --norc --quiet $here/programs/empty.m" \
    >/dev/null 2>&1
  for spec in "scalar_loop 200000 1000000 2000000" "vector_work 100000 1000000 10000000" \
    "string_building 5000 20000 50000" "vector_growth 10000 30000 100000"; do
    set -- $spec
    name=$1
    shift
    for n in "$@"; do
      sed "s/^n = [0-9]*;/n = $n;/" "$here/programs/$name.vke" >"$out/$name.vke"
      sed "s/^n = [0-9]*;/n = $n;/" "$here/programs/$name.m" >"$out/$name.m"
      set -- -n vke "$vke $out/$name.vke" -n octave "octave-cli --norc --quiet $out/$name.m"
      if [ -f "$here/programs/$name.lua" ] && command -v lua5.4 >/dev/null; then
        sed "s/^local n = [0-9]*/local n = $n/" "$here/programs/$name.lua" >"$out/$name.lua"
        set -- "$@" -n lua "lua5.4 $out/$name.lua"
      fi
      hyperfine -N --warmup 1 --runs "$runs" --export-json "$out/sized.json" "$@" >/dev/null 2>&1
      python3 - "$out/sized.json" "$out/empty.json" "$name" "$n" "$out" <<'PY'
import json, sys
sys.path.insert(0, sys.argv[5])
from target import verdict
def medians(path):
    return {r["command"]: r["median"] for r in json.load(open(path))["results"]}
t, empty = medians(sys.argv[1]), medians(sys.argv[2])
n = int(sys.argv[4])
per = lambda k, base: (t[k] - base) / n * 1e9 if k in t else float("nan")
v, o = per("vke", empty["vke"]), per("octave", empty["octave"])
l = per("lua", 0.0)
r = t["octave"] / t["vke"]
print(f"{sys.argv[3]:<16} {n:9d} {v:10.1f} {o:10.1f} {l:10.1f} {r:8.1f} {verdict(f'{sys.argv[3]}@{n}', r, v)}")
PY
    done
  done
fi
rm -rf "$out"
