#!/bin/sh
# Runs large-data programs in vke and in GNU Octave as whole processes and
# prints, for each, the peak resident memory of both (GNU time's maximum
# resident set size) and the ratio of vke's to Octave's; the aim is at most
# 1.5. Builds vke in the Release configuration first. Not run in CI.
#   bench/compare_memory.sh
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/release}
for tool in /usr/bin/time octave-cli; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vke >/dev/null
vke="$build/tools/vke"
peak() {  # the maximum resident set size in KB of the command
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1
}
printf '%-16s %14s %14s %8s\n' program "vke (MB)" "octave (MB)" "ratio"
for name in large_vector large_product large_table; do
  v=$(peak "$vke" "$here/programs/$name.vke")
  o=$(peak octave-cli --norc --quiet "$here/programs/$name.m")
  awk -v n="$name" -v v="$v" -v o="$o" \
    'BEGIN { printf "%-16s %14.1f %14.1f %8.2f\n", n, v / 1024, o / 1024, v / o }'
done
