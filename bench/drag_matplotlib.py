"""Milliseconds per step of a mouse drag in matplotlib that moves one point
of a 10,000-point line at 800 x 600: a motion_notify_event callback updates
the Line2D's data, and the Agg canvas draws the figure again."""
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.backend_bases import MouseEvent  # noqa: E402

fig = plt.figure(figsize=(8, 6), dpi=100)
axes = fig.add_subplot()
x = np.arange(10000) / 9999
y = np.sin(12 * np.pi * x) * np.exp(-2 * x)
(line,) = axes.plot(x, y, "b")
axes.set_xlim(0, 1)
axes.set_ylim(-1.5, 1.5)
taken = 5000


def on_motion(event):
    if event.ydata is None:
        return
    data = line.get_ydata()
    data[taken] = event.ydata
    line.set_ydata(data)
    fig.canvas.draw()


fig.canvas.mpl_connect("motion_notify_event", on_motion)
fig.canvas.draw()
px, top = axes.transData.transform((x[taken], 1))
_, bottom = axes.transData.transform((x[taken], -1))

steps = 0
start = time.perf_counter()
while time.perf_counter() - start < 2.0 or steps < 10:
    ypix = (top if steps % 2 == 0 else bottom) + steps % 7
    MouseEvent("motion_notify_event", fig.canvas, px, ypix, button=1)._process()
    steps += 1
spent = time.perf_counter() - start
print(f"{1000 * spent / steps:.2f}")
