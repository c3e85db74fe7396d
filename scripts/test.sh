#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite: every test not labelled "gui" without a
# display, then those labelled "gui" on a virtual X server with a window
# manager, in a home folder of their own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
build="$root/build/test"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVKE_SANITIZE=ON >/dev/null
cmake --build "$build" --parallel
cd "$build"
env -u DISPLAY -u WAYLAND_DISPLAY \
  ctest -LE gui --output-on-failure --parallel "$(nproc)" --timeout 600

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config" "$home/data" "$home/runtime" "$build/screens"
chmod 700 "$home/runtime"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_RUNTIME_DIR="$home/runtime" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 GTK_THEME=Adwaita \
  VKE_SCREEN_DIR="$build/screens" \
  timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" \
  sh -c '(openbox >/dev/null 2>&1 &); sleep 0.5; exec ctest -L gui --output-on-failure --timeout 120'
