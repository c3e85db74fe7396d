#!/usr/bin/env bash
# Builds the Release configuration, packs the point demo of examples/demo
# behind the runtime, drives it headless (its check script, then a drag of
# the point with the mouse, the figure drawn into build/release/demo.png) and
# starts it in a window when there is a display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
# Ninja's status line shows how far the build is ("[120/554] ...").
echo "Building the runtime and the tools in $build (the first build takes a few minutes)..."
cmake --build "$build" --parallel
kvpack="$build/tools/kvpack"
demo="$build/demo"
"$kvpack" --runtime "$build/shell/kvrt" -o "$demo" "$root/examples/demo/demo.kvd"
echo "The demo: a point dragged with the mouse, put back by Point/Center. Its check script sends" \
  "it events and menu picks; a reply \"=> 10201\" or \"=> 10202\" means handled, redraw."
"$kvpack" check "$demo" "$root/examples/demo/demo.script"
drag="$build/demo-drag.script"
cat >"$drag" <<STEPS
reset
draw
mouse down 338 240
mouse drag 250 150
mouse drag 150 100
mouse up
print label
png "$build/demo.png"
STEPS
"$kvpack" check "$demo" "$drag"
echo "The figure after the drag: $build/demo.png"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the demo in its window: $demo"
  exec "$demo"
else
  echo "No display: the demo is $demo; start it where there is one."
fi
