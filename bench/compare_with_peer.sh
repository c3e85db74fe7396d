#!/bin/sh
# Runs a benchmark and its matplotlib peer and prints their milliseconds
# side by side with the ratio of matplotlib's time to ours:
#   bench/compare_with_peer.sh NAME PEER.py
# builds bench_NAME in the Release configuration, reads "case ms" lines
# from both, and lists our cases without a peer after the table. Exits when
# matplotlib is missing (Debian: python3-matplotlib).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
. "$here/matplotlib_python.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --target "bench_$1" >/dev/null
out=$(mktemp -d)
"$build/bench/bench_$1" | tee "$out/ours.txt"
"$python" "$here/$2" > "$out/peer.txt"
"$python" - "$out/ours.txt" "$out/peer.txt" <<'PY'
import sys
ours = {line.split()[0]: float(line.split()[1]) for line in open(sys.argv[1])}
print(f"{'case':<16} {'vke (ms)':>10} {'matplotlib (ms)':>16} {'ratio':>8}")
for line in open(sys.argv[2]):
    name, ms = line.split()
    mine = ours.pop(name)
    print(f"{name:<16} {mine:10.2f} {float(ms):16.2f} {float(ms) / mine:8.2f}")
for name, mine in ours.items():
    print(f"{name:<16} {mine:10.2f}")
PY
rm -rf "$out"
