#!/usr/bin/env bash
# Usage: scripts/run-demo.sh [NAME]
# Builds the runtime, the packer, the runner and the markup converter of
# the Release configuration, packs the example application NAME of examples/NAME (the
# point demo when no name is given) behind the runtime, drives it headless
# through its check script, saying whether its output is the one
# examples/NAME/NAME.out holds (status 1 when it is not; the point demo
# also through a drag of the point with the mouse, the figure drawn into
# build/release/demo.png) and starts it in a window when there is a
# display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
name="${1:-demo}"
if [ $# -gt 1 ] || [ ! -f "$root/examples/$name/$name.kvd" ]; then
  names="$(cd "$root/examples" && for d in */; do [ -f "$d${d%/}.kvd" ] && printf ' %s' "${d%/}"; done; true)"
  echo "usage: $0 [NAME]; the examples are:$names" >&2
  exit 2
fi
"$root/scripts/install-deps.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKE_TESTS=OFF >/dev/null
# Only what the demo and the README's commands run: the runtime, the packer,
# the runner and the markup converter (the test command builds the tests and
# the benchmarks).
# Ninja's status line shows how far the build is ("[120/554] ...").
echo "Building the runtime and the tools in $build (the first build takes a few minutes)..."
cmake --build "$build" --parallel --target kvrt kvpack vke kvmarkup
kvpack="$build/tools/kvpack"
app="$build/$name"
"$kvpack" --runtime "$build/shell/kvrt" -o "$app" "$root/examples/$name/$name.kvd"

# Runs the example's check script on the packed application and says
# whether the output is the one examples/NAME/NAME.out holds; one that is
# not is shown against it, and the script ends with status 1.
check_example() {
  local expected="$root/examples/$name/$name.out" actual
  actual="$(mktemp)"
  "$kvpack" check "$app" "$root/examples/$name/$name.script" | tee "$actual"
  if cmp -s "$actual" "$expected"; then
    rm -f "$actual"
    echo "The output matches examples/$name/$name.out."
    return 0
  fi
  echo "The output differs from examples/$name/$name.out (- expected, + this run):" >&2
  diff -u "$expected" "$actual" >&2 || true
  rm -f "$actual"
  exit 1
}
if [ "$name" != demo ]; then
  # The check script's files (its pictures, the files it saves) land in a
  # folder of their own.
  work="$build/$name-check"
  mkdir -p "$work"
  echo "The $name example driven by its check script (a reply \"=> 10201\" means handled, redraw):"
  (cd "$work" && check_example)
  echo "The figure after the script: $work/$name.png"
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting $name in its window: $app"
    exec "$app"
  else
    echo "No display: the application is $app; start it where there is one, or on a virtual" \
      "one: xvfb-run -a $app"
  fi
  exit 0
fi
demo="$app"
echo "The demo: a point dragged with the mouse, put back by Point/Center. Its check script sends" \
  "it events and menu picks; a reply \"=> 10201\" or \"=> 10202\" means handled, redraw."
check_example
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
  echo "No display: the demo is $demo; start it where there is one, or on a virtual one:" \
    "xvfb-run -a $demo"
fi
