"""Peer: the frames of a time series as a matplotlib user would script them, in one process:
for each step, the flow speed with imshow and streamplot over it, saved as a 512 x 512 PNG.

usage: mpl_frames.py SERIES.npz OUTDIR [--density D]
"""

import argparse
import os

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

AREA_PIXELS = 512
DPI = 100


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("series")
    parser.add_argument("outdir")
    parser.add_argument("--density", type=float, default=2.0)
    args = parser.parse_args()

    data = np.load(args.series, mmap_mode="r")
    # streamplot wants exactly even spacing, which float32 axes lose: the same ends, in double.
    x = np.linspace(float(data["x"][0]), float(data["x"][-1]), len(data["x"]))
    y = np.linspace(float(data["y"][0]), float(data["y"][-1]), len(data["y"]))
    os.makedirs(args.outdir, exist_ok=True)
    figure = plt.figure(figsize=(AREA_PIXELS / DPI, AREA_PIXELS / DPI), dpi=DPI)
    for step in range(data["u"].shape[0]):
        u, v = data["u"][step], data["v"][step]
        figure.clear()
        axes = figure.add_axes([0, 0, 1, 1])
        axes.set_axis_off()
        axes.imshow(np.hypot(u, v), interpolation="nearest", extent=(x[0], x[-1], y[-1], y[0]))
        axes.streamplot(x, y, u, v, density=args.density, color="white", linewidth=0.5,
                        arrowsize=0.5)
        axes.set_xlim(x[0], x[-1])
        axes.set_ylim(y[-1], y[0])
        figure.savefig(os.path.join(args.outdir, f"frame-{step:05d}.png"), dpi=DPI)


if __name__ == "__main__":
    main()
