#!/bin/sh
# fgetl over a file of 10^6 lines (29.6 MB, the rows of the text files
# benchmark's table) as the program a user runs, against Lua 5.4 reading
# the same lines: the instructions of each whole process under callgrind
# (valgrind), which a loaded machine does not change, and their ratio. The
# target: vke at most twice Lua's instructions (3.8 G). Builds vke in the
# Release configuration first, unless VKE names a runner to measure. Not
# run in CI; takes a few minutes.
#   bench/compare_lines_with_lua.sh          VKE=build/rel-nolto/tools/vke bench/compare_lines_with_lua.sh
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
for tool in valgrind lua5.4 python3; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
vke=${VKE:-}
if [ -z "$vke" ]; then
  build=${BUILD:-$root/build/release}
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target vke >/dev/null
  vke=$build/tools/vke
fi
vke=$(cd "$(dirname "$vke")" && pwd)/$(basename "$vke")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 - <<'PY'
import math
with open('rows.txt', 'w') as f:
    for k in range(1, 1000001):
        f.write('%d %.6f %.6f\n' % (k, k / 7, math.sin(k)))
PY
cat >fgetl.vke <<'VKE'
fd = fopen('rows.txt', 'r'); n = 0;
for i = 1:1000000, l = fgetl(fd); n = n + numel(l); end
fclose(fd);
fprintf('%d\n', n);
VKE
cat >fgetl.lua <<'LUA'
local n = 0
for l in io.lines('rows.txt') do n = n + #l end
print(n)
LUA
# The instructions of one whole process; its output must be the count of
# the file's characters less its line ends.
instructions() {
  out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>"$work/log")
  [ "$out" = 28611130 ] || { echo "$1 printed '$out'" >&2; exit 1; }
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/log"
}
ours=$(instructions "$vke" fgetl.vke)
lua=$(instructions lua5.4 fgetl.lua)
python3 - "$ours" "$lua" <<'PY'
import sys
ours, lua = int(sys.argv[1]), int(sys.argv[2])
print(f"{'1e6 lines':<12} {'vke (G)':>9} {'lua5.4 (G)':>11} {'ratio':>7}")
ratio = ours / lua
print(f"{'fgetl':<12} {ours / 1e9:9.3f} {lua / 1e9:11.3f} {ratio:7.2f}  "
      f"(target <= 2: {'met' if ratio <= 2 else 'below'})")
PY
