#!/usr/bin/env python3
"""Writes the hand-made loader seeds in fuzz/seeds/loader: broken and unusual data sets, each
packed as the loader target reads its input (4 bytes little-endian: the grid file's length, then
the grid file, then the data file). Run it again after changing a case; the seeds are committed.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "seeds", "loader")

NAN = float("nan")
INF = float("inf")


def header(text):
    data = text.encode("latin-1")[:40]
    return data + b" " * (40 - len(data))


def floats(values):
    return b"".join(struct.pack("<f", v) for v in values)


def lattice(width, height, xs=None, ys=None):
    xs = xs or [float(c) for c in range(width)]
    ys = ys or [float(r) for r in range(height)]
    return [(xs[c], ys[r], 0.0) for r in range(height) for c in range(width)]


def grid_file(head, positions):
    return header(head) + floats([v for p in positions for v in p])


def data_file(count, scalars=2, velocity=(1.0, 0.5, 0.0)):
    values = []
    for k in range(count):
        values += list(velocity) + [float(k)] * scalars
    return floats(values)


def pack(grid, data):
    return struct.pack("<I", len(grid)) + grid + data


def pair(width, height, depth=1, scalars=2, positions=None, velocity=(1.0, 0.5, 0.0),
         head=None):
    positions = positions or lattice(width, height) * max(depth, 0)
    head = head or "SN4DB %d %d %d %d 0 0.0" % (width, height, depth, scalars)
    count = len(positions)
    return pack(grid_file(head, positions), data_file(count, max(scalars, 0), velocity))


SEEDS = {
    # Refused before anything is allocated.
    "huge-header": pack(header("SN4DB 32767 32767 32767 2 0 0.0"), b""),
    "dimension-32768": pair(2, 2, head="SN4DB 32768 2 1 2 0 0.0"),
    "negative-width": pair(2, 2, head="SN4DB -4 2 1 2 0 0.0"),
    "negative-depth": pair(2, 2, head="SN4DB 2 2 -1 2 0 0.0"),
    "overflowing-integer": pair(2, 2, head="SN4DB 99999999999999999999 2 1 2 0 0.0"),
    "no-magic": pair(2, 2, head="SNADB 2 2 1 2 0 0.0"),
    "garbage-after-magic": pair(2, 2, head="SN4DB\x01\xff\x7f garbage 2 2"),
    "nul-in-header": pair(2, 2, head="SN4DB 2\x00 2 1 2 0 0.0"),
    "short-grid-file": pack(header("SN4DB 4 4 1 2 0 0.0") + floats([0.0] * 10),
                            data_file(16)),
    "short-data-file": pack(grid_file("SN4DB 2 2 1 2 0 0.0", lattice(2, 2)), data_file(3)),
    "header-only-12-bytes": pack(b"SN4DB 2 2 1", b""),
    "empty": pack(b"", b""),
    # Loaded, with shapes and values that the sampling must survive.
    "header-without-real": pair(3, 2, head="SN4DB 3 2 1 2 0"),
    "header-stops-after-depth": pair(2, 3, scalars=0, head="SN4DB 2 3 1"),
    "real-with-exponent": pair(2, 2, head="SN4DB 2 2 1 2 7 -1.5e+38x"),
    "nan-positions": pair(3, 3, positions=[(NAN, NAN, NAN)] * 9),
    "infinite-positions": pair(2, 2, positions=[(-INF, -INF, 0), (INF, -INF, 0),
                                               (-INF, INF, 0), (INF, INF, 0)]),
    "nan-velocities": pair(3, 3, velocity=(NAN, NAN, NAN)),
    "infinite-velocities": pair(3, 3, velocity=(INF, -INF, 0.0)),
    "huge-velocities": pair(2, 2, velocity=(3.4e38, 3.4e38, 3.4e38)),
    "equal-coordinates": pair(3, 3, positions=[(1.0, 1.0, 0.0)] * 9),
    "decreasing-coordinates": pair(4, 3, positions=lattice(4, 3, [3.0, 2.0, 1.0, 0.0],
                                                           [2.0, 1.0, 0.0])),
    "one-by-n": pair(1, 6),
    "n-by-one": pair(6, 1),
    "depth-0": pair(3, 3, depth=0),
    "depth-2": pair(2, 2, depth=2),
    "scalars-0": pair(2, 2, scalars=0),
    "scalars-1": pair(2, 2, scalars=1),
    "scalars-40": pair(2, 2, scalars=40),
    "scalars-negative": pair(2, 2, scalars=-3),
    "negative-extent": pair(2, 2, positions=lattice(2, 2, [-5.0, -1.0], [-5.0, -1.0])),
    "tiny-extent": pair(2, 2, positions=lattice(2, 2, [0.0, 1e-38], [0.0, 1e-38])),
    "denormal-extent": pair(2, 2, positions=lattice(2, 2, [0.0, 1e-45], [0.0, 1e-45])),
    "huge-extent": pair(2, 2, positions=lattice(2, 2, [0.0, 3.4e38], [0.0, 3.4e38])),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
