"""Reads a Vortana data set (NAME.gri + NAME.00000.dat) with numpy, for the peer scripts.

The grid file is a 40-byte text header "SN4DB width height depth scalars ..." followed by x, y, z
of every node as little-endian float32; the data file holds u, v, w and `scalars` values per node.
Nodes run columns first, then rows, then slices; only slice 0 is used here, as Vortana does.
"""

import statistics
import time

import numpy as np

HEADER_BYTES = 40


def base_of(path):
    """NAME for NAME.gri, NAME.00000.dat or NAME itself."""
    for suffix in (".gri", ".00000.dat"):
        if path.endswith(suffix):
            return path[: -len(suffix)]
    return path


def read_pair(path):
    """Slice 0 of the data set: 1-D node coordinates x (along row 0) and y (down column 0),
    equally spaced between the first and last node, and the 2-D (rows x columns) arrays u, v, w
    in grid order, row 0 at min y."""
    base = base_of(path)
    with open(base + ".gri", "rb") as grid_file:
        header = grid_file.read(HEADER_BYTES).split(b"\0")[0].split()
    if not header or header[0] != b"SN4DB":
        raise ValueError(f"{base}.gri: not a grid file")
    width, height, depth, scalars = (int(v) for v in header[1:5])
    nodes = width * height
    grid = np.fromfile(base + ".gri", dtype="<f4", offset=HEADER_BYTES, count=nodes * 3 * depth)
    grid = grid[: nodes * 3].reshape(height, width, 3)
    stride = 3 + scalars
    data = np.fromfile(base + ".00000.dat", dtype="<f4", count=nodes * stride * depth)
    data = data[: nodes * stride].reshape(height, width, stride)
    # matplotlib's streamplot insists on coordinates equally spaced to within about 1e-8, which
    # float32 positions of a 1024-node row miss; a user rebuilds them from the ends, as here.
    x = grid[0, :, 0].astype(np.float64)
    y = grid[:, 0, 1].astype(np.float64)
    return {
        "width": width,
        "height": height,
        "x": np.linspace(x[0], x[-1], width),
        "y": np.linspace(y[0], y[-1], height),
        "u": data[:, :, 0],
        "v": data[:, :, 1],
        "w": data[:, :, 2],
    }


def speed_of(field):
    """|velocity| over all three components, as the flow-speed background shows it."""
    u, v, w = (field[k].astype(np.float64) for k in ("u", "v", "w"))
    return np.sqrt(u * u + (v * v + w * w))


def vortana_ramp():
    """The 256 colours of Vortana's ramp (blue, magenta, red) as RGB floats, so that the peer's
    picture shows the same colours; the cost of a colour map does not depend on its entries."""
    colours = []
    red, blue = 1, 255
    for _ in range(256):
        colours.append((red / 255.0, 0.0, blue / 255.0))
        if red == 255:
            blue = max(blue - 2, 0)
        else:
            red += 2
    return colours


def median_ms(reps, run):
    """One untimed warm-up call of run(), then `reps` timed calls. run() returns the seconds it
    wants counted (so that set-up outside the measured call stays out); the median in ms."""
    run()
    times = [run() * 1000.0 for _ in range(reps)]
    return statistics.median(times)


def clock():
    return time.perf_counter()
