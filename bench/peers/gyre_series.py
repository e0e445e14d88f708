"""Writes the swaying double gyre (A 0.1, epsilon 0.25, omega 2 pi / 10 at t = 0, 1, ...) as one
.npz of STEPS time steps, float32 u and v of shape (STEPS, SIZE, SIZE) over x and y from 0 to
512, one world unit per drawing-area pixel. vortana-render draws its frames with --frames, the
matplotlib peer reads the same file.

usage: gyre_series.py OUTPUT.npz [--steps N] [--size N]
"""

import argparse

import numpy as np

EXTENT = 512.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--steps", type=int, default=100)
    parser.add_argument("--size", type=int, default=1024)
    args = parser.parse_args()

    axis = np.linspace(0.0, EXTENT, args.size, dtype=np.float64)
    wx, wy = np.meshgrid(axis, axis)
    # The published domain [0,2] x [0,1] stretched onto the extent, velocities with it.
    x, y = wx / (EXTENT / 2), wy / EXTENT
    u = np.empty((args.steps, args.size, args.size), dtype=np.float32)
    v = np.empty_like(u)
    for t in range(args.steps):
        a = 0.25 * np.sin(2 * np.pi / 10 * t)
        b = 1 - 2 * a
        f = a * x * x + b * x
        u[t] = -np.pi * 0.1 * np.sin(np.pi * f) * np.cos(np.pi * y) * (EXTENT / 2)
        v[t] = np.pi * 0.1 * np.cos(np.pi * f) * np.sin(np.pi * y) * (2 * a * x + b) * EXTENT
    np.savez(args.output, x=axis.astype(np.float32), y=axis.astype(np.float32), u=u, v=v)


if __name__ == "__main__":
    main()
