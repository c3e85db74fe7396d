#!/bin/sh
# Times the object hit test against its peer, a Python plotting library's
# line hit test (python3-matplotlib, pick radius 20 px), on the same curves
# and pointer path, and prints the ratio. Builds the Release benchmark
# first. Run by hand, never in CI.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_hit_test_bench >/dev/null
bench="$build/bench/bench_hit_test_bench"
ours=$("$bench")
peer=$("$bench" --dump | /usr/bin/python3 "$here/hit_test_peer.py")
echo "vke:  $ours"
echo "peer: $peer"
a=$(echo "$ours" | sed 's/.*: \([0-9.]*\) us per call.*/\1/')
b=$(echo "$peer" | sed 's/^\([0-9.]*\) us per call.*/\1/')
echo "ratio (peer / vke): $(echo "$b $a" | awk '{printf "%.1f", $1 / $2}')"
