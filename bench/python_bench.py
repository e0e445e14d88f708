#!/usr/bin/env python3
"""The Python module's speed, in one Python process, on the 1024 x 1024 samples.

usage: PYTHONPATH=build/python python3 bench/python_bench.py [BUILD] [--reps N]

Rows:
- vortana.mpl.streamplot against matplotlib.pyplot.streamplot at density 2, each on a fresh
  400 x 400 pixel Agg figure and including the figure's drawing; and again on one figure made
  once, each drawing the lines on the empty axes and the whole figure, then taking the lines
  away (the figure's making, 8 ms, and its first drawing's text layout, another 10, are no
  part of either streamplot);
- field.render against the same work as vortana-render does it in process (load, Visualize,
  PNG): the module's load + save, and load + render, and render of a field in memory.
Each row's two jobs run in turn; prints medians in milliseconds as Markdown rows for
bench/README.md.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import vortana  # noqa: E402
import vortana.mpl  # noqa: E402

FLOWS = ["double-gyre", "vortex-street"]


def median_ms(job, reps):
    job()  # warm-up
    times = []
    for _ in range(reps):
        start = time.perf_counter()
        job()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


def paired_ms(ours, peer, reps):
    """The medians of `ours` and `peer`, run in turn, so that the machine's drift over the
    minutes (a tenth to a fifth here) falls on both alike."""
    ours()  # warm-ups
    peer()
    times = ([], [])
    for _ in range(reps):
        for job, kept in zip((ours, peer), times):
            start = time.perf_counter()
            job()
            kept.append((time.perf_counter() - start) * 1000)
    return statistics.median(times[0]), statistics.median(times[1])


def plotted(draw):
    def job():
        figure, ax = plt.subplots(figsize=(4, 4), dpi=100)
        draw(ax)
        figure.canvas.draw()
        plt.close(figure)
    return job


def redrawn(draw):
    """`draw` on the axes of one figure, drawn whole each time; what it added is taken away
    after each drawing, so that every run starts from the same empty axes."""
    figure, ax = plt.subplots(figsize=(4, 4), dpi=100)
    figure.canvas.draw()

    def job():
        draw(ax)
        figure.canvas.draw()
        for artist in list(ax.collections) + list(ax.patches) + list(ax.lines):
            artist.remove()
    return job


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--reps", type=int, default=5)
    args = parser.parse_args()
    programs = os.path.join(args.build, "src", "app")
    rows = []
    # What both streamplot rows spend on the figure alone: their floor.
    figure_only = median_ms(plotted(lambda ax: None), args.reps)
    with tempfile.TemporaryDirectory() as folder:
        for flow in FLOWS:
            subprocess.run([os.path.join(programs, "vortana-sample"), "--size", "1024", flow,
                            folder], check=True, capture_output=True)
            pair = os.path.join(folder, flow + ".gri")
            field = vortana.load(pair)
            a = field.arrays()
            # streamplot wants axes equally spaced to float64 precision.
            x = np.linspace(a["x"][0, 0], a["x"][0, -1], field.width)
            y = np.linspace(a["y"][0, 0], a["y"][-1, 0], field.height)
            u, v = a["u"].astype(np.float64), a["v"].astype(np.float64)

            ours, peer = paired_ms(
                plotted(lambda ax: vortana.mpl.streamplot(ax, x, y, u, v)),
                plotted(lambda ax: ax.streamplot(x, y, u, v, density=2)), args.reps)
            rows.append((f"vortana.mpl.streamplot (RK2, default spacing) vs pyplot.streamplot "
                         f"density 2, both with the Agg drawing", flow, ours, peer, "≥ 20"))
            ours, peer = paired_ms(
                redrawn(lambda ax: vortana.mpl.streamplot(ax, x, y, u, v)),
                redrawn(lambda ax: ax.streamplot(x, y, u, v, density=2)), args.reps)
            rows.append(("the same on one figure, drawn whole each time", flow, ours, peer,
                         "≥ 20"))

            png = os.path.join(folder, "picture.png")
            options = {"evenly_spaced": True, "background": "flow"}
            loaded, program = paired_ms(lambda: vortana.load(pair).render(**options),
                                        lambda: vortana.load(pair).save(png, **options),
                                        args.reps)
            in_memory = median_ms(lambda: field.render(**options), args.reps)
            rows.append(("vortana-render's work in process (load, Visualize, PNG) vs "
                         "load + field.render, --evenly-spaced --background flow", flow,
                         loaded, program, "≥ 0.83 (ours ≤ 1.2x)"))
            rows.append(("the same, field.render on a field in memory", flow, in_memory,
                         program, "≥ 0.83 (ours ≤ 1.2x)"))
    print("| Job | Flow | Ours (ms) | Peer (ms) | Peer / ours | Goal |")
    print("|---|---|---:|---:|---:|---|")
    for job, flow, ours, peer, goal in rows:
        print(f"| {job} | {flow} | {ours:.1f} | {peer:.1f} | {peer / ours:.1f} | {goal} |")
    print(f"\nThe empty figure alone, created and drawn: {figure_only:.1f} ms; drawn again: "
          f"{median_ms(redrawn(lambda ax: None), args.reps):.1f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main())
