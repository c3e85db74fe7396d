#!/bin/sh
# Times a figure in vke and the same figure in matplotlib with Agg, and
# prints both in milliseconds and the ratio of matplotlib's time to vke's:
#   panel (the default): one redraw of a ten-row control panel beside a
#     10,000-point plot at 800 x 600 after a slider moves (bench_panel_bench,
#     panel_matplotlib.py);
#   drag: one step of a mouse drag that moves one point of a 10,000-point
#     line at 800 x 600 (bench_drag_bench, drag_matplotlib.py).
# Builds the Release configuration first. Run by hand (needs
# python3-matplotlib); not in CI.
set -e
which=${1:-panel}
case $which in
  panel) unit=redraw ;;
  drag) unit=step ;;
  *) echo "usage: $0 [panel|drag]" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/bench}
# The system's python, which python3-matplotlib serves, unless PYTHON names one.
python=${PYTHON:-/usr/bin/python3}
"$python" -c "import matplotlib" 2>/dev/null || { echo "missing: python3-matplotlib" >&2; exit 2; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target "bench_${which}_bench" >/dev/null
vke=$("$build/bench/bench_${which}_bench" | sed -n "s/.*: \([0-9.]*\) ms per $unit.*/\1/p")
mpl=$("$python" "$here/${which}_matplotlib.py")
printf '%-12s %10s\n' "" "ms/$unit"
printf '%-12s %10s\n' vke "$vke" matplotlib "$mpl"
python3 -c "print(f'ratio (matplotlib / vke): {$mpl / $vke:.1f}')"
