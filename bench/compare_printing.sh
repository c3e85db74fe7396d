#!/bin/sh
# Formatted output against GNU Octave (bench/compare_octave.sh): a loop of
# 100,000 short sprintf rows, fib(22) printed once with fprintf, and ten
# million elements summed and printed. Not run in CI.
#   bench/compare_printing.sh          RUNS=10 bench/compare_printing.sh
exec "$(dirname "$0")/compare_octave.sh" sprintf_loop recursion large_print
