#!/bin/sh
# Times the figure's copy and printout (bench/outputs_bench.cpp) against
# matplotlib saving the same 10-subplot x 10,000-point figure
# (bench/outputs_peer.py): the copy's three documents in one drawing against
# three savefig calls, SVG and PNG alone, and the printed page against a PDF.
# Prints milliseconds and the ratio of matplotlib's time to ours. Builds the
# benchmark in the Release configuration first. Run by hand, never in CI;
# exits when matplotlib is missing (Debian: python3-matplotlib).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
. "$here/matplotlib_python.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_outputs_bench >/dev/null
out=$(mktemp -d)
"$build/bench/bench_outputs_bench" | tee "$out/ours.txt"
"$python" "$here/outputs_peer.py" > "$out/peer.txt"
"$python" - "$out/ours.txt" "$out/peer.txt" <<'PY'
import sys
ours = {line.split()[0]: float(line.split()[1]) for line in open(sys.argv[1])}
print(f"{'case':<6} {'vke (ms)':>10} {'matplotlib (ms)':>16} {'ratio':>8}")
for line in open(sys.argv[2]):
    name, ms = line.split()
    print(f"{name:<6} {ours[name]:10.2f} {float(ms):16.2f} {float(ms) / ours[name]:8.2f}")
PY
rm -rf "$out"
