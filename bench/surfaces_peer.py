"""Milliseconds per redraw of the surface benchmark's figures in matplotlib
with Agg at 800 x 600, one line "name ms" per case: a shaded plot_surface of
the same 100 x 100 peaks grid (every cell, orthographic and perspective),
imshow of 1000 x 1000 colour cells with bilinear interpolation, and contour
of a 200 x 200 grid at 10 levels. One redraw clears the figure, draws the
case and saves it as PNG into memory."""
import io
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402


def peaks(n):
    a = np.linspace(-3, 3, n)
    x, y = np.meshgrid(a, a)
    z = (3 * (1 - x) ** 2 * np.exp(-x**2 - (y + 1) ** 2)
         - 10 * (x / 5 - x**3 - y**5) * np.exp(-x**2 - y**2)
         - np.exp(-(x + 1) ** 2 - y**2) / 3)
    return x, y, z


def milliseconds(draw):
    fig = plt.figure(figsize=(8, 6), dpi=100)
    runs = 0
    start = time.perf_counter()
    while time.perf_counter() - start < 2.0 or runs < 5:
        fig.clf()
        draw(fig)
        fig.savefig(io.BytesIO(), format="png")
        runs += 1
    plt.close(fig)
    return 1000 * (time.perf_counter() - start) / runs


def surface(projection):
    x, y, z = peaks(100)

    def draw(fig):
        ax = fig.add_subplot(projection="3d")
        ax.set_proj_type(projection)
        ax.plot_surface(x, y, z, rstride=1, cstride=1, cmap="viridis", edgecolor="k",
                        linewidth=0.2)
    return draw


def image():
    g = np.tile(np.arange(1000) / 999, (1000, 1))
    rgb = np.dstack([g, g.T, 0.5 * (g + g.T)])

    def draw(fig):
        fig.add_subplot().imshow(rgb, interpolation="bilinear")
    return draw


def contour():
    _, _, z = peaks(200)

    def draw(fig):
        fig.add_subplot().contour(z, levels=10)
    return draw


cases = [
    ("surf_ortho", surface("ortho")),
    ("surf_persp", surface("persp")),
    ("image", image()),
    ("contour", contour()),
]
for name, draw in cases:
    print(f"{name} {milliseconds(draw):.2f}", flush=True)
