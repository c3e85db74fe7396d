#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the whole test suite; then builds the Release configuration, the one
# users run, and runs the whole suite again there. In each, every test not
# labelled "gui" runs without a display, then those labelled "gui" on a
# virtual X server with a window manager, in a home folder of their own.
# Last the fuzzers are built with clang and libFuzzer as the README builds
# them, and each runs its seeds once.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
# LAPACK's threads would only compete with the tests that run side by side.
export OPENBLAS_NUM_THREADS=1

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT

run_suite() {
  local build="$1"
  shift
  # Tests on even when a benchmark configured the folder without them, and
  # a run that finds no test fails.
  cmake -S "$root" -B "$build" -G Ninja -DVKE_TESTS=ON "$@" >/dev/null
  cmake --build "$build" --parallel
  (cd "$build" && env -u DISPLAY -u WAYLAND_DISPLAY \
    ctest -LE gui --no-tests=error --output-on-failure --parallel "$(nproc)" --timeout 600)

  rm -rf "${home:?}"/*
  mkdir -p "$home/config" "$home/data" "$home/runtime" "$build/screens"
  chmod 700 "$home/runtime"
  (cd "$build" && HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_RUNTIME_DIR="$home/runtime" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 GTK_THEME=Adwaita \
    VKE_SCREEN_DIR="$build/screens" \
    timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" \
    sh -c '(openbox >/dev/null 2>&1 &); sleep 0.5; exec ctest -L gui --no-tests=error --output-on-failure --timeout 120')
}

# The fuzzers, built with clang as the README builds them, each run once over
# its committed seeds, so that neither the harnesses nor their seeds rot.
run_fuzz_seeds() {
  local fuzz="$root/build/fuzz"
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVKE_SANITIZE=ON -DVKE_FUZZ=ON -DVKE_TESTS=OFF >/dev/null
  cmake --build "$fuzz" --parallel --target image_fuzzer compiler_fuzzer description_fuzzer \
    markup_fuzzer
  for harness in image compiler description markup; do
    # Files named one by one run once each; the committed seeds stay as they are.
    local log="$fuzz/${harness}_seeds.log"
    if ! "$fuzz/tests/fuzz/${harness}_fuzzer" "$root/tests/fuzz/${harness}_corpus"/* >"$log" 2>&1; then
      cat "$log"
      exit 1
    fi
    echo "${harness}_fuzzer: $(grep -c '^Executed' "$log") seeds ran"
  done
}

run_suite "$root/build/test" -DCMAKE_BUILD_TYPE=Debug -DVKE_SANITIZE=ON
run_fuzz_seeds
run_suite "$root/build/release" -DCMAKE_BUILD_TYPE=Release
