#!/bin/sh
# Times one redraw of a ten-row control panel beside a 10,000-point plot at
# 800 x 600 after a slider moves, in vke (bench_panel_bench) and in
# matplotlib with Agg (panel_matplotlib.py), and prints both in milliseconds
# and the ratio of matplotlib's time to vke's. Builds the Release
# configuration first. Run by hand (needs python3-matplotlib); not in CI.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/bench}
# The system's python, which python3-matplotlib serves, unless PYTHON names one.
python=${PYTHON:-/usr/bin/python3}
"$python" -c "import matplotlib" 2>/dev/null || { echo "missing: python3-matplotlib" >&2; exit 2; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_panel_bench >/dev/null
vke=$("$build/bench/bench_panel_bench" | sed -n 's/.*: \([0-9.]*\) ms per redraw.*/\1/p')
mpl=$("$python" "$here/panel_matplotlib.py")
printf '%-12s %10s\n' "" "ms/redraw"
printf '%-12s %10s\n' vke "$vke" matplotlib "$mpl"
python3 -c "print(f'ratio (matplotlib / vke): {$mpl / $vke:.1f}')"
