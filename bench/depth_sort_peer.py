"""Times the peer of the depth-sort benchmark: the same triangles as a
Poly3DCollection drawn by matplotlib (Agg) and saved to PNG at 800 x 600.
Reads the files bench_depth_sort_bench --export writes; prints one line a
case: name and milliseconds. Run by bench/compare_depth_sort.sh, never in CI.
"""
import io
import sys
import time

try:
    import matplotlib
except ImportError:
    print("matplotlib is missing (Debian: python3-matplotlib); nothing timed", file=sys.stderr)
    sys.exit(2)
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from mpl_toolkits.mplot3d.art3d import Poly3DCollection  # noqa: E402


def load(path):
    triangles = []
    with open(path) as f:
        for line in f:
            v = [float(t) for t in line.split()]
            triangles.append([tuple(v[0:3]), tuple(v[3:6]), tuple(v[6:9])])
    return triangles


def milliseconds(triangles):
    fig = plt.figure(figsize=(8, 6), dpi=100)
    ax = fig.add_subplot(projection="3d")
    greys = [(g, g, g / 2 + 0.4) for g in ((60 + k % 150) / 255 for k in range(len(triangles)))]
    ax.add_collection3d(Poly3DCollection(triangles, facecolors=greys, edgecolors="k",
                                         linewidths=0.5))
    for axis, i in (("x", 0), ("y", 1), ("z", 2)):
        values = [p[i] for t in triangles for p in t]
        getattr(ax, f"set_{axis}lim")(min(values), max(values))
    fig.savefig(io.BytesIO(), format="png")  # warm-up
    frames, start = 0, time.perf_counter()
    while frames < 3 or time.perf_counter() - start < 2.0:
        fig.savefig(io.BytesIO(), format="png")
        frames += 1
    plt.close(fig)
    return 1000 * (time.perf_counter() - start) / frames


if __name__ == "__main__":
    folder = sys.argv[1]
    for name in ("surface", "stress"):
        print(f"{name} {milliseconds(load(f'{folder}/{name}.txt')):.2f}")
