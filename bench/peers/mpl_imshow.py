"""Peer: matplotlib's imshow of the flow speed into a 512 x 512 pixel picture, timing imshow and
the canvas draw. The speed array is computed before the clock starts.

usage: mpl_imshow.py DATASET [--interpolation NAME] [--reps N]
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
    # One node per pixel, no smoothing: the same job as Vortana's background.
    parser.add_argument("--interpolation", default="nearest")
    parser.add_argument("--reps", type=int, default=5)
    args = parser.parse_args()

    field = flowfiles.read_pair(args.dataset)
    speed = flowfiles.speed_of(field).astype("float32")
    ramp = ListedColormap(flowfiles.vortana_ramp())
    size = [0, 0]

    def run():
        figure = plt.figure(figsize=(AREA_PIXELS / DPI, AREA_PIXELS / DPI), dpi=DPI)
        axes = figure.add_axes([0, 0, 1, 1])
        axes.set_axis_off()
        start = flowfiles.clock()
        axes.imshow(speed, cmap=ramp, vmin=0.0, vmax=float(speed.max()),
                    interpolation=args.interpolation)
        figure.canvas.draw()
        elapsed = flowfiles.clock() - start
        size[:] = figure.canvas.get_width_height()
        plt.close(figure)
        return elapsed

    ms = flowfiles.median_ms(args.reps, run)
    print(f"ms {ms:.3f} picture {size[0]}x{size[1]}")


if __name__ == "__main__":
    main()
