#!/bin/sh
# Times one step of a mouse drag that moves one point of a 10,000-point line
# at 800 x 600 -- the move, the handler, the redraw -- in vke
# (bench_drag_bench) and in matplotlib with Agg (drag_matplotlib.py), and
# prints both in milliseconds and the ratio of matplotlib's time to vke's.
# Builds the Release configuration first. Run by hand (needs
# python3-matplotlib); not in CI.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/bench}
# The system's python, which python3-matplotlib serves, unless PYTHON names one.
python=${PYTHON:-/usr/bin/python3}
"$python" -c "import matplotlib" 2>/dev/null || { echo "missing: python3-matplotlib" >&2; exit 2; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_drag_bench >/dev/null
vke=$("$build/bench/bench_drag_bench" | sed -n 's/.*: \([0-9.]*\) ms per step.*/\1/p')
mpl=$("$python" "$here/drag_matplotlib.py")
printf '%-12s %10s\n' "" "ms/step"
printf '%-12s %10s\n' vke "$vke" matplotlib "$mpl"
python3 -c "print(f'ratio (matplotlib / vke): {$mpl / $vke:.1f}')"
