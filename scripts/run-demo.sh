#!/usr/bin/env bash
# Builds the Release configuration, packs the point demo of examples/demo
# into an application image and drives it headless: its check script, then
# a drag of the point with the figure drawn into build/release/demo.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
cmake --build "$build" --parallel >/dev/null
kvpack="$build/tools/kvpack"
image="$build/demo.img"
"$kvpack" --bare -o "$image" "$root/examples/demo/demo.kvd"
"$kvpack" check "$image" "$root/examples/demo/demo.script"
drag="$build/demo-drag.script"
cat >"$drag" <<STEPS
reset
event mousedown 0.5 0.5
event mousedrag 0.2 0.8
event mouseup 0.2 0.8
print label
png "$build/demo.png"
STEPS
"$kvpack" check "$image" "$drag"
echo "The figure after the drag: $build/demo.png"
