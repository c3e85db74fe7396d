#!/bin/sh
# Times the redraw of a lit surface (orthographic and perspective), a
# linearly resampled image and contour lines at 800 x 600 in vke
# (bench/surfaces_bench.cpp) and in matplotlib with Agg
# (bench/surfaces_peer.py), and prints both in milliseconds with the ratio
# of matplotlib's time to ours; then the surface's paint after a camera turn
# (surf_ortho_turn, surf_persp_turn; target 16 ms). Run by hand, never in
# CI (bench/compare_with_peer.sh).
exec "$(dirname "$0")/compare_with_peer.sh" surfaces_bench surfaces_peer.py
