#!/bin/sh
# Times the figure's copy and printout (bench/outputs_bench.cpp) against
# matplotlib saving the same 10-subplot x 10,000-point figure
# (bench/outputs_peer.py): the copy's three documents in one drawing against
# three savefig calls, SVG and PNG alone, and the printed page against a PDF.
# Run by hand, never in CI (bench/compare_with_peer.sh).
exec "$(dirname "$0")/compare_with_peer.sh" outputs_bench outputs_peer.py
