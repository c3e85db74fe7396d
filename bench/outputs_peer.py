"""Milliseconds per saved document of the outputs benchmark's figure in
matplotlib: 10 subplots (2 x 5) of one 10,000-point line each, 800 x 600
pixels, saved into memory as SVG, PNG and PDF, one line "name ms" per
format, and "copy" for the three in a row (what the clipboard is given)."""
import io
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402


def figure():
    fig = plt.figure(figsize=(8, 6), dpi=100)
    n = 10000
    seed = 1
    for k in range(10):
        noise = np.empty(n)
        for i in range(n):
            seed = (seed * 1103515245 + 12345) % 2**32
            noise[i] = ((seed >> 16) % 1000) / 1000.0
        x = np.arange(n, dtype=float)
        ax = fig.add_subplot(2, 5, k + 1)
        ax.plot(x, np.sin(x * 12.0 / n + k) + 0.05 * noise)
        ax.grid(True)
    return fig


def milliseconds(save):
    runs = 0
    start = time.perf_counter()
    while time.perf_counter() - start < 2.0 or runs < 5:
        save()
        runs += 1
    return 1000 * (time.perf_counter() - start) / runs


def main():
    fig = figure()
    saves = {f: (lambda f=f: fig.savefig(io.BytesIO(), format=f)) for f in ("svg", "png", "pdf")}
    times = {f: milliseconds(save) for f, save in saves.items()}
    times["copy"] = milliseconds(lambda: [save() for save in saves.values()])
    for name in ("copy", "svg", "png", "pdf"):
        print(f"{name} {times[name]:.2f}")


main()
