"""Peer: matplotlib's streamplot on a Vortana data set, timing the streamplot call alone.

usage: mpl_streamplot.py DATASET [--density D] [--reps N]
"""

import argparse

import matplotlib
import numpy as np

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
    x = field["x"]
    drawn = {}

    def run():
        figure = plt.figure(figsize=(AREA_PIXELS / DPI, AREA_PIXELS / DPI), dpi=DPI)
        axes = figure.add_axes([0, 0, 1, 1])
        start = flowfiles.clock()
        result = axes.streamplot(field["x"], field["y"], field["u"], field["v"],
                                 density=args.density)
        elapsed = flowfiles.clock() - start
        segments = result.lines.get_segments()
        drawn["segments"] = len(segments)
        drawn["length"] = sum(float(np.sum(np.linalg.norm(np.diff(s, axis=0), axis=1)))
                              for s in segments)
        plt.close(figure)
        return elapsed

    ms = flowfiles.median_ms(args.reps, run)
    length_px = drawn["length"] / (x[-1] - x[0]) * AREA_PIXELS
    print(f"ms {ms:.3f} segments {drawn['segments']} length_px {length_px:.0f}")


if __name__ == "__main__":
    main()
