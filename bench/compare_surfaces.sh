#!/bin/sh
# Times the redraw of a lit surface (orthographic and perspective), a
# linearly resampled image and contour lines at 800 x 600 in vke
# (bench/surfaces_bench.cpp) and in matplotlib with Agg
# (bench/surfaces_peer.py), and prints both in milliseconds with the ratio
# of matplotlib's time to ours, and the surface's paint after a camera turn.
# Builds the benchmark in the Release configuration first. Run by hand,
# never in CI; exits when matplotlib is missing (Debian: python3-matplotlib).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
. "$here/matplotlib_python.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_surfaces_bench >/dev/null
out=$(mktemp -d)
"$build/bench/bench_surfaces_bench" | tee "$out/ours.txt"
"$python" "$here/surfaces_peer.py" > "$out/peer.txt"
"$python" - "$out/ours.txt" "$out/peer.txt" <<'PY'
import sys
ours = {line.split()[0]: float(line.split()[1]) for line in open(sys.argv[1])}
print(f"{'case':<12} {'vke (ms)':>10} {'matplotlib (ms)':>16} {'ratio':>8}")
for line in open(sys.argv[2]):
    name, ms = line.split()
    print(f"{name:<12} {ours[name]:10.2f} {float(ms):16.2f} {float(ms) / ours[name]:8.2f}")
print(f"surface after a camera turn: {ours['surf_ortho_turn']:.2f} ms orthographic, "
      f"{ours['surf_persp_turn']:.2f} ms perspective (target 16)")
PY
rm -rf "$out"
