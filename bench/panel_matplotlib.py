"""Milliseconds per redraw of the control-panel benchmark's figure in
matplotlib: ten rows of widgets (four sliders, check buttons, radio buttons,
two buttons, a text box standing for the pop-up menu and the field) beside a
plot of 10,000 points at 800 x 600, drawn by Agg. One redraw is a slider's
set_val, which updates the line, and a full draw of the canvas."""
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.widgets import Button, CheckButtons, RadioButtons, Slider, TextBox  # noqa: E402

fig = plt.figure(figsize=(8, 6), dpi=100)
plot = fig.add_axes([0.55, 0.1, 0.42, 0.8])
t = np.arange(10000) / 9999
(line,) = plot.plot(t, np.sin(2 * np.pi * 5 * t), "b")


def row(i, width=0.3):
    return fig.add_axes([0.15, 0.85 - i * 0.08, width, 0.05])


fig.text(0.02, 0.92, "Signal generator")
gain = Slider(row(0), "Gain", 0, 5, valinit=1)
freq = Slider(row(1), "Frequency", 1, 100, valinit=5)
Slider(row(2), "Phase", 0, 1, valinit=0.5)
Slider(row(3), "Offset", -1, 1, valinit=0)
CheckButtons(row(4), ["Grid", "Marks"], [True, False])
RadioButtons(row(5), ["Sine", "Square"])
Button(row(6, 0.14), "Start")
Button(fig.add_axes([0.31, 0.85 - 6 * 0.08, 0.14, 0.05]), "Reset")
TextBox(row(7), "Colour", initial="Blue")
TextBox(row(8), "Gain", initial="1.00")


def update(value):
    line.set_ydata(value * np.sin(2 * np.pi * freq.val * t))


gain.on_changed(update)
fig.canvas.draw()

redraws = 0
value = 1.0
start = time.perf_counter()
while time.perf_counter() - start < 2.0 or redraws < 10:
    value = (value + 0.37) % 5
    gain.set_val(value)
    fig.canvas.draw()
    redraws += 1
spent = time.perf_counter() - start
print(f"{1000 * spent / redraws:.2f}")
