#!/usr/bin/python3
# The peer of bench/hit_test_bench.cpp: the same 10 curves of 10,000 points
# in an 800 x 600 figure, hit-tested with a pick radius of 20 px along the
# pointer path the benchmark dumps (read from standard input). Prints the
# time per call of testing all 10 lines, in microseconds.
import math
import sys
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.backend_bases import MouseEvent  # noqa: E402

LINES, POINTS, WIDTH, HEIGHT = 10, 10000, 800, 600

rows = [line.split() for line in sys.stdin if line.strip()]
path = [(float(a), float(b)) for a, b, *rest in rows if a not in ("viewport", "limits")]
vp = next([float(v) for v in r[1:]] for r in rows if r[0] == "viewport")
lim = next([float(v) for v in r[1:]] for r in rows if r[0] == "limits")

fig = plt.figure(figsize=(WIDTH / 100, HEIGHT / 100), dpi=100)
# The axes cover the benchmark's viewport (pixels from the top left).
ax = fig.add_axes([vp[0] / WIDTH, 1 - vp[3] / HEIGHT, (vp[1] - vp[0]) / WIDTH,
                   (vp[3] - vp[2]) / HEIGHT])
ax.set_xlim(lim[0], lim[1])
ax.set_ylim(lim[2], lim[3])
xs = list(range(POINTS))
lines = []
for k in range(LINES):
    ys = [math.sin(i * 12.0 / POINTS + k) + 0.1 * k for i in xs]
    (line,) = ax.plot(xs, ys)
    line.set_pickradius(20)
    lines.append(line)
fig.canvas.draw()

events = [MouseEvent("motion_notify_event", fig.canvas, x, HEIGHT - y) for x, y in path]
calls, hits = 0, 0
start = time.perf_counter()
while time.perf_counter() - start < 2.0:
    for event in events:
        hits += any(line.contains(event)[0] for line in lines)
        calls += 1
spent = time.perf_counter() - start
print(f"{spent / calls * 1e6:.1f} us per call ({hits} of {calls} hit)")
