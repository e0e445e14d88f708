"""Peer: matplotlib's streamplot on a Vortana data set, timing the streamplot call alone.

usage: mpl_streamplot.py DATASET [--density D] [--reps N]
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import flowfiles  # noqa: E402

AREA_PIXELS = 512
DPI = 100


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dataset")
    parser.add_argument("--density", type=float, default=2.0)
    parser.add_argument("--reps", type=int, default=3)
    args = parser.parse_args()

    field = flowfiles.read_pair(args.dataset)
    lines = [0]

    def run():
        figure = plt.figure(figsize=(AREA_PIXELS / DPI, AREA_PIXELS / DPI), dpi=DPI)
        axes = figure.add_axes([0, 0, 1, 1])
        start = flowfiles.clock()
        result = axes.streamplot(field["x"], field["y"], field["u"], field["v"],
                                 density=args.density)
        elapsed = flowfiles.clock() - start
        lines[0] = len(result.lines.get_segments())
        plt.close(figure)
        return elapsed

    ms = flowfiles.median_ms(args.reps, run)
    print(f"ms {ms:.3f} segments {lines[0]}")


if __name__ == "__main__":
    main()
