"""Peer: one cold render as a process, the way a matplotlib user would script it: read the data
set with numpy.fromfile, show the flow speed with imshow, draw streamplot over it and save a
512 x 512 PNG. compare.sh times the whole process.

usage: mpl_render.py DATASET OUTPUT.png [--density D]
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.colors import ListedColormap  # noqa: E402

import flowfiles  # noqa: E402

AREA_PIXELS = 512
DPI = 100


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dataset")
    parser.add_argument("output")
    parser.add_argument("--density", type=float, default=2.0)
    args = parser.parse_args()

    field = flowfiles.read_pair(args.dataset)
    x, y = field["x"], field["y"]
    speed = flowfiles.speed_of(field)
    figure = plt.figure(figsize=(AREA_PIXELS / DPI, AREA_PIXELS / DPI), dpi=DPI)
    axes = figure.add_axes([0, 0, 1, 1])
    axes.set_axis_off()
    # Row 0 (min y) at the top, as Vortana draws it.
    axes.imshow(speed, cmap=ListedColormap(flowfiles.vortana_ramp()), interpolation="nearest",
                extent=(x[0], x[-1], y[-1], y[0]))
    axes.streamplot(x, y, field["u"], field["v"], density=args.density, color="white",
                    linewidth=0.5, arrowsize=0.5)
    axes.set_xlim(x[0], x[-1])
    axes.set_ylim(y[-1], y[0])
    figure.savefig(args.output, dpi=DPI)


if __name__ == "__main__":
    main()
