"""Milliseconds per frame of the error-locus benchmark's region in
matplotlib: the same measure over the same cells (the squared Mahalanobis
distance of P(s) from 0, P = (s^2 + 2 s + 2)(s^2 + s + 4) with the same
covariance), coloured by the same bands and drawn with pcolormesh into an
800 x 600 figure by Agg, then saved as raw pixels. Arguments: the cell
columns and rows and the data range x0 x1 y0 y1 that bench_locus_bench
prints."""
import io
import sys
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.colors import BoundaryNorm, ListedColormap  # noqa: E402

columns, rows = int(sys.argv[1]), int(sys.argv[2])
x0, x1, y0, y1 = (float(v) for v in sys.argv[3:7])
p = np.array([1.0, 3, 8, 10, 8])
m = np.diag([0.01] * 4) + np.diag([0.002] * 3, 1) + np.diag([0.002] * 3, -1)

fig = plt.figure(figsize=(8, 6), dpi=100)
axes = fig.add_axes([0.07, 0.06, columns / 800, rows / 600])
xe = np.linspace(x0, x1, columns + 1)
ye = np.linspace(y0, y1, rows + 1)
xc = (xe[:-1] + xe[1:]) / 2
yc = (ye[:-1] + ye[1:]) / 2
colours = ListedColormap(["#000000", "#0000ff", "#6666ff", "#cccccc", "#ffffff"])
norm = BoundaryNorm([-np.inf, 0.01, 0.25, 1, 4, np.inf], colours.N)


def measure():
    s = xc[None, :] + 1j * yc[:, None]
    value = np.polyval(p, s)
    u = np.stack([s**3, s**2, s, np.ones_like(s)])
    ur, ui = u.real, u.imag
    mur = np.einsum("ij,j...->i...", m, ur)
    mui = np.einsum("ij,j...->i...", m, ui)
    q1 = (ur * mur).sum(0)
    q2 = (ui * mui).sum(0)
    q3 = (ur * mui).sum(0)
    a, b = value.real, value.imag
    with np.errstate(divide="ignore", invalid="ignore"):
        return (b * b * q1 + a * a * q2 - 2 * a * b * q3) / (q1 * q2 - q3 * q3)


def frame():
    axes.clear()
    axes.pcolormesh(xe, ye, measure(), cmap=colours, norm=norm, shading="flat")
    fig.savefig(io.BytesIO(), format="raw")


frame()
frames = 0
start = time.perf_counter()
while time.perf_counter() - start < 2.0 or frames < 5:
    frame()
    frames += 1
spent = time.perf_counter() - start
print(f"{1000 * spent / frames:.2f}")
