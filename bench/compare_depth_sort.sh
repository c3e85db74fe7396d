#!/bin/sh
# Times the depth sort and fill of 3-D triangles (bench/depth_sort_bench.cpp)
# against matplotlib drawing the same triangles as a Poly3DCollection to PNG
# (bench/depth_sort_peer.py) and prints milliseconds and the ratio of
# matplotlib's time to ours. Builds the benchmark in the Release
# configuration first. Run by hand, never in CI; exits when matplotlib is
# missing (Debian: python3-matplotlib).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
. "$here/matplotlib_python.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_depth_sort_bench >/dev/null
out=$(mktemp -d)
"$build/bench/bench_depth_sort_bench" --export "$out" | tee "$out/ours.txt"
"$python" "$here/depth_sort_peer.py" "$out" > "$out/peer.txt"
"$python" - "$out/ours.txt" "$out/peer.txt" <<'PY'
import re, sys
ours = {}
for line in open(sys.argv[1]):
    name = line.split(":")[0]
    ours[name] = float(re.findall(r"sort and fill ([0-9.]+) ms", line)[0])
print(f"{'case':<10} {'vke (ms)':>12} {'matplotlib (ms)':>16} {'ratio':>8}")
for line in open(sys.argv[2]):
    name, ms = line.split()
    print(f"{name:<10} {ours[name]:12.2f} {float(ms):16.2f} {float(ms) / ours[name]:8.2f}")
PY
rm -rf "$out"
