#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# the benchmarks too (built, not run), and runs the whole test suite; then
# builds the Release configuration, the one users run, and runs the whole
# suite again there. In each, every test not labelled "gui" runs without a
# display, then those labelled "gui" on a virtual X server with a window
# manager, in a home folder of their own.
# Between the two the fuzzers are built with clang and libFuzzer as the
# README builds them, and each runs its seeds once.
#
# Every phase runs whatever an earlier one gave, and the last lines say of
# each whether it passed, failed or could not run (its build failed); the
# exit status is 0 only when every phase passed. No phase has a limit of
# its own beyond ctest's per test, so that a loaded machine is only slower.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" || exit 1
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
# The tests' precompiled headers are cached too.
export CCACHE_SLOPPINESS=pch_defines,time_macros
# LAPACK's threads would only compete with the tests that run side by side.
export OPENBLAS_NUM_THREADS=1

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT

phases=()
results=()
record() {
  phases+=("$1")
  results+=("$2")
  echo "=== $1: $2"
}

# Runs a phase's command and records how it ended.
phase() {
  local name="$1"
  shift
  if "$@"; then record "$name" passed; else record "$name" failed; fi
}

headless_tests() {
  (cd "$1" && env -u DISPLAY -u WAYLAND_DISPLAY \
    ctest -LE gui --no-tests=error --output-on-failure --parallel "$(nproc)" --timeout 600)
}

window_tests() {
  local build="$1"
  rm -rf "${home:?}"/*
  mkdir -p "$home/config" "$home/data" "$home/runtime" "$build/screens"
  chmod 700 "$home/runtime"
  (cd "$build" && HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_RUNTIME_DIR="$home/runtime" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 GTK_THEME=Adwaita \
    VKE_SCREEN_DIR="$build/screens" \
    xvfb-run -a -s "-screen 0 1024x768x24" \
    sh -c '(openbox >/dev/null 2>&1 &); sleep 0.5; exec ctest -L gui --no-tests=error --output-on-failure --timeout 300')
}

# Builds a configuration's default targets and the further ones named.
run_suite() {
  local label="$1" build="$2" targets="$3"
  shift 3
  # Tests on even when a benchmark configured the folder without them, and
  # a run that finds no test fails.
  if cmake -S "$root" -B "$build" -G Ninja -DVKE_TESTS=ON "$@" >/dev/null &&
    cmake --build "$build" --parallel --target all $targets; then
    record "$label build" passed
    phase "$label tests without a display" headless_tests "$build"
    phase "$label window tests" window_tests "$build"
  else
    record "$label build" failed
    record "$label tests without a display" "not run"
    record "$label window tests" "not run"
  fi
}

# The fuzzers, built with clang as the README builds them, each run once over
# its committed seeds, so that neither the harnesses nor their seeds rot.
fuzz_seeds() {
  local fuzz="$root/build/fuzz" harness
  CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVKE_SANITIZE=ON -DVKE_FUZZ=ON -DVKE_TESTS=OFF >/dev/null || return 1
  cmake --build "$fuzz" --parallel --target image_fuzzer compiler_fuzzer description_fuzzer \
    markup_fuzzer || return 1
  for harness in image compiler description markup; do
    # Files named one by one run once each; the committed seeds stay as they are.
    local log="$fuzz/${harness}_seeds.log"
    if ! "$fuzz/tests/fuzz/${harness}_fuzzer" "$root/tests/fuzz/${harness}_corpus"/* >"$log" 2>&1; then
      cat "$log"
      return 1
    fi
    echo "${harness}_fuzzer: $(grep -c '^Executed' "$log") seeds ran"
  done
}

# The benchmarks are built where linking costs least, with the sanitizers:
# that they compile is all the test command asks of them, and each one
# linked with link-time optimisation would cost a minute.
run_suite "sanitizers:" "$root/build/test" benchmarks -DCMAKE_BUILD_TYPE=Debug -DVKE_SANITIZE=ON
phase "fuzzers' seeds" fuzz_seeds
run_suite "Release:" "$root/build/release" "" -DCMAKE_BUILD_TYPE=Release

echo
echo "Summary:"
status=0
for i in "${!phases[@]}"; do
  printf '  %-40s %s\n' "${phases[$i]}" "${results[$i]}"
  [ "${results[$i]}" = passed ] || status=1
done
exit "$status"
