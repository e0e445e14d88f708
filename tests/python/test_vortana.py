"""The Python module against the programs: the same pictures, descriptions and fields."""

import json
import os
import _thread
import gc
import signal
import subprocess
import threading
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.image  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402

import vortana  # noqa: E402
import vortana.mpl  # noqa: E402

PROGRAMS = os.environ.get("VORTANA_PROGRAMS", "build/src/app")


def program(name):
    return os.path.join(PROGRAMS, name)


@pytest.fixture(scope="module")
def data(tmp_path_factory):
    """A sample pair written by vortana-sample, and the same field converted to .npz."""
    folder = tmp_path_factory.mktemp("data")
    subprocess.run([program("vortana-sample"), "--size", "48", "double-gyre", str(folder)],
                   check=True, capture_output=True)
    pair = str(folder / "double-gyre.gri")
    npz = str(folder / "double-gyre.npz")
    subprocess.run([program("vortana-convert"), pair, npz], check=True, capture_output=True)
    return {"pair": pair, "npz": npz, "folder": folder}


def render_program(dataset, folder, args):
    png, dump = str(folder / "picture.png"), str(folder / "picture.json")
    subprocess.run([program("vortana-render"), dataset, "-o", png, "--dump", dump, *args],
                   check=True, capture_output=True)
    # matplotlib reads an 8-bit PNG as floats k / 255.
    pixels = np.round(matplotlib.image.imread(png)[:, :, :3] * 255).astype(np.uint8)
    with open(dump) as f:
        return pixels, json.load(f)


SETTINGS = [
    ([], {}),
    (["--evenly-spaced", "--integrator", "rk2", "--d-sep", "12", "--background", "vorticity",
      "--colour-map", "viridis", "--legend"],
     {"evenly_spaced": True, "integrator": "rk2", "d_sep": 12, "background": "vorticity",
      "colour_map": "viridis", "legend": True}),
    (["--plot", "arrows", "--grid-size", "20", "--normalized", "--colour", "FF8000",
      "--probe", "100,200", "--repaint"],
     {"plot": "arrows", "grid_size": 20, "normalized": True, "colour": "FF8000",
      "probe": (100, 200), "repaint": True}),
]


@pytest.mark.parametrize("args,options", SETTINGS)
def test_render_and_describe_equal_the_program(data, args, options):
    pixels, description = render_program(data["pair"], data["folder"], args)
    field = vortana.load(data["pair"])
    picture = field.render(**options)
    assert picture.dtype == np.uint8 and picture.shape == pixels.shape
    assert np.array_equal(picture, pixels)
    assert field.describe(**options) == description


def test_save_writes_the_programs_png(data, tmp_path):
    pixels, _ = render_program(data["pair"], data["folder"], ["--evenly-spaced"])
    out = tmp_path / "saved.png"
    vortana.load(data["pair"]).save(out, evenly_spaced=True)
    assert (np.round(matplotlib.image.imread(str(out))[:, :, :3] * 255) == pixels).all()


def test_field_from_arrays_equals_the_field_from_the_file(data):
    # NumPy reads the archive that vortana-convert wrote; the engine reads it itself.
    with np.load(data["npz"]) as arrays:
        # Fortran order and float64 on the way in, as a user's arrays may come.
        made = vortana.Field(arrays["x"].astype(np.float64), arrays["y"],
                             np.asfortranarray(arrays["u"]), arrays["v"],
                             pressure=arrays["pressure"], vorticity=arrays["vorticity"])
    loaded = vortana.load(data["npz"])
    assert made.statistics == loaded.statistics
    options = {"evenly_spaced": True, "background": "pressure"}
    assert np.array_equal(made.render(**options), loaded.render(**options))
    made_description = made.describe(**options)
    loaded_description = loaded.describe(**options)
    del made_description["file"], loaded_description["file"]
    assert made_description == loaded_description


def test_statistics_of_a_small_field_by_hand():
    # Speeds |(u, v)| of the four nodes: 5, 0, 1, 13.
    field = vortana.Field([0, 2], [0, 1], [[3, 0], [1, 5]], [[4, 0], [0, 12]],
                          pressure=[[-1, 2], [0, 0.5]])
    assert (field.width, field.height, field.depth, field.size) == (2, 2, 1, 4)
    assert field.max_speed == 13 and field.max_x == 2 and field.max_y == 1
    assert (field.min_pressure, field.max_pressure) == (-1, 2)
    assert field.velocity_at(1, 0.5) == pytest.approx((2.25, 4, 0))  # the mean of the corners


def test_streamlines_and_arrows_are_the_stored_pictures(data):
    field = vortana.load(data["pair"])
    description = field.describe(plot="arrows", grid_size=64)
    arrows = field.arrows(plot="arrows", grid_size=64)
    assert [[a["x"], a["y"]] for a in description["arrows"]] == \
        np.column_stack([arrows["px"], arrows["py"]]).tolist()
    # The description writes each float so that it reads back exactly.
    assert np.array_equal(np.float32([a["v"] for a in description["arrows"]]),
                          np.column_stack([arrows["u"], arrows["v"], arrows["w"]]))
    # One world unit a pixel: a stored pixel (px, py) lies at world (px, py).
    lines = field.streamlines(grid_size=64)
    stored = field.describe(grid_size=64)["streamlines"]
    assert len(lines) == len(stored) > 0
    for line, points in zip(lines, stored):
        assert np.allclose(line, points, atol=1e-3)


def test_threads_draw_alike():
    x = np.linspace(0, 512, 64)
    gx, gy = np.meshgrid(x, x)
    field = vortana.Field(x, x, -(gy - 256), gx - 256)
    alone = field.render(evenly_spaced=True)
    pictures = [None] * 4

    def draw(k):
        pictures[k] = field.render(evenly_spaced=True)

    threads = [threading.Thread(target=draw, args=(k,)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(np.array_equal(p, alone) for p in pictures)


def write_pair(base, x, y, slices):
    """A grid/data file pair of len(slices) slices, each (u, v) of shape (len(y), len(x)), laid
    out as the format says: a 40-byte text header, then x, y, z of every node and u, v, w of
    every node as little-endian float32, columns fastest, then rows, then slices."""
    header = f"SN4DB {len(x)} {len(y)} {len(slices)} 0 0 0.0".ljust(40).encode()
    gx, gy = np.meshgrid(np.float32(x), np.float32(y))
    grid = [np.stack([gx, gy, np.full_like(gx, k)], axis=-1) for k in range(len(slices))]
    data = [np.stack([u, v, np.zeros_like(u)], axis=-1) for u, v in slices]
    with open(f"{base}.gri", "wb") as f:
        f.write(header + np.asarray(grid, dtype="<f4").tobytes())
    with open(f"{base}.00000.dat", "wb") as f:
        f.write(np.asarray(data, dtype="<f4").tobytes())
    return f"{base}.gri"


def test_a_slice_draws_as_the_field_made_of_it(tmp_path):
    x, y, u, v = vortex()
    shear = (np.ones_like(u), np.zeros_like(v))
    two = vortana.load(write_pair(tmp_path / "two", x, y, [shear, (u, v)]), slice=1)
    one = vortana.load(write_pair(tmp_path / "one", x, y, [(u, v)]))
    assert (two.depth, two.slice) == (2, 1)
    for name in ("x", "y", "u", "v"):
        assert np.array_equal(two.arrays()[name], one.arrays()[name])
    assert two.velocity_at(100.5, 300.25) == one.velocity_at(100.5, 300.25)
    for options in ({}, {"evenly_spaced": True, "d_sep": 14}):
        drawn, alone = two.streamlines(**options), one.streamlines(**options)
        assert len(drawn) == len(alone) > 3
        assert all(np.array_equal(a, b) for a, b in zip(drawn, alone))
    assert two.describe()["slice"] == 1
    with pytest.raises(ValueError, match="slice.*between 0 and 1.*2"):
        vortana.load(tmp_path / "two.gri", slice=2)


def interrupt_main():
    _thread.interrupt_main()


def send_sigint():
    os.kill(os.getpid(), signal.SIGINT)


@pytest.mark.parametrize("interrupt", [interrupt_main, send_sigint])
def test_ctrl_c_stops_a_long_placement(interrupt):
    # A world unit a pixel and speeds of a tenth: steps of a thousandth of a pixel over an area
    # of 2048 x 2048 pixels, minutes of work.
    x = np.linspace(0, 2048, 256)
    gx, gy = np.meshgrid(x, x)
    field = vortana.Field(x, x, 0.1 * np.sin(gy / 200), 0.1 * np.cos(gx / 300))
    options = {"evenly_spaced": True, "size": 2048, "delta_t": 1, "d_sep": 10, "d_test": 1}
    timer = threading.Timer(0.5, interrupt)
    timer.start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        field.render(**options)
    timer.join()
    # Stopped long before the minutes the placement would take (a loose bound: the test must not
    # depend on the machine's speed).
    assert time.monotonic() - start < 20
    assert field.render(plot="arrows").shape == (512, 512, 3)  # the field is whole


def test_streamplot_keeps_the_arrays_it_was_given():
    # The field is built on another thread after streamplot returned: arrays the caller changes
    # at once (float32 in C order, which no conversion copies) must not change the lines.
    x = np.linspace(-1, 1, 1500, dtype=np.float32)
    gx, gy = np.meshgrid(x, x)
    lines = []
    for changed in (True, False):
        u, v = -gy, gx + np.float32(0.2)
        figure, ax = square_axes()
        drawn = vortana.mpl.streamplot(ax, x, x, u, v, subsample=False, d_sep=20)
        if changed:
            u[:], v[:] = 1, 0
        lines.append(drawn.get_segments())
        plt.close(figure)
    assert len(lines[0]) == len(lines[1]) > 5
    assert all(np.array_equal(a, b) for a, b in zip(*lines))


@pytest.mark.parametrize("ending", ["interrupted", "dropped"])
def test_streamplot_stops_its_placement(ending):
    # Steps of a hundredth of a pixel over 8192 x 8192 pixels: minutes of placement, going on
    # after streamplot returned. Ctrl+C while a look at the lines waits for them stops it and
    # leaves the collections empty; a collection dropped unseen stops it too, where dropping it
    # would wait for the whole placement (the bound is loose: the machine's speed must not count).
    x = np.linspace(0, 2048, 256)
    gx, gy = np.meshgrid(x, x)
    figure, ax = square_axes()
    start = time.monotonic()
    lines = vortana.mpl.streamplot(ax, x, x, 0.1 * np.sin(gy / 200), 0.1 * np.cos(gx / 300),
                                   size=8192, delta_t=1, d_sep=10, d_test=1)
    if ending == "interrupted":
        timer = threading.Timer(0.5, interrupt_main)
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            lines.get_segments()
        timer.join()
        assert lines.get_segments() == [] and lines.arrowheads.get_paths() == []
        figure.canvas.draw()
    else:
        lines.arrowheads.remove()
        lines.remove()
        del lines
        gc.collect()
    assert time.monotonic() - start < 20
    plt.close(figure)


def vortex(n=32):
    x = np.linspace(0, 512, n)
    gx, gy = np.meshgrid(x, x)
    return x, x, -(gy - 256), gx - 256


ERRORS = [
    (lambda: vortana.Field([0, 1, 2], [0, 1], np.zeros((3, 2)), np.zeros((2, 3))), ValueError,
     r"u has shape \(3, 2\).*must be \(2, 3\)"),
    (lambda: vortana.Field(np.zeros((2, 2)), [0, 1], np.zeros((2, 2)), np.zeros((2, 2))),
     ValueError, "x must be a 1-D axis"),
    (lambda: vortana.Field([0, 2, 1], [0, 1], np.zeros((2, 3)), np.zeros((2, 3))), ValueError,
     "x"),
    (lambda: vortana.Field([0], [0, 1], np.zeros((2, 1)), np.zeros((2, 1))), ValueError, "x"),
    (lambda: vortana.Field([0, 1], [0, 1], np.full((2, 2), "a"), np.zeros((2, 2))), ValueError,
     "u must hold numbers"),
    (lambda: vortana.Field(*vortex()).render(grid_size=200), ValueError,
     "grid_size.*between 8 and 128.*200"),
    (lambda: vortana.Field(*vortex()).render(integrator="rk4"), ValueError,
     "integrator.*euler.*rk2"),
    (lambda: vortana.Field(*vortex()).render(d_sep="9"), ValueError, "d_sep.*between 10 and 50"),
    (lambda: vortana.Field(*vortex()).render(no_such_option=1), TypeError, "no_such_option"),
    (lambda: vortana.Field(*vortex()).render(output="x.png"), TypeError, r"save\(path\)"),
    # A field larger than the axes' pixels, whose u does not fit its axes.
    (lambda: vortana.mpl.streamplot(Figure(figsize=(1, 1)).add_subplot(), np.arange(400.0),
                                    np.arange(300.0), np.zeros((300, 401)), np.zeros((300, 401))),
     ValueError, r"u has shape \(300, 401\).*must be \(300, 400\)"),
    (lambda: vortana.load("/nonexistent/flow.gri"), OSError, "/nonexistent/flow"),
    (lambda: vortana.load("flow.gri", slice=-1), ValueError, "slice"),
    (lambda: vortana.load("flow.gri", step=-1), ValueError, "step"),
]


@pytest.mark.parametrize("call,error,message", ERRORS)
def test_bad_input_raises(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_unreadable_file_names_it(tmp_path):
    bad = tmp_path / "bad.gri"
    bad.write_bytes(b"not a grid file".ljust(64))
    (tmp_path / "bad.00000.dat").write_bytes(b"")
    with pytest.raises(OSError) as raised:
        vortana.load(bad)
    assert raised.value.filename == str(bad) and "SN4DB" in str(raised.value)


def test_save_refuses_to_overwrite_the_data(data):
    with pytest.raises(OSError, match="destroy the data"):
        vortana.load(data["pair"]).save(data["pair"])


@pytest.mark.parametrize("backend", ["agg", "svg"])
def test_streamplot_draws_the_streamlines_in_data_coordinates(backend, tmp_path):
    # The engine draws the data's window, y up, on an area of the axes' pixel size: its world
    # points are the data's, whatever the axes' limits. The lines are placed while streamplot
    # returns: the first look at them (the SVG drawing, or get_segments) waits for them.
    x, y, u, v = vortex()
    figure, ax = plt.subplots(figsize=(4, 4), dpi=100)
    box = ax.get_window_extent()
    lines = vortana.mpl.streamplot(ax, x / 100 + 3, y / 100 - 1, u / 100, v / 100, d_sep=16,
                                   d_test=8, delta_t=10)
    if backend == "svg":
        figure.savefig(tmp_path / "first.svg")
    expected = vortana.Field(x, y, u, v).streamlines(
        evenly_spaced=True, integrator="rk2", d_sep=16, d_test=8,
        size=round(max(box.width, box.height)))
    segments = lines.get_segments()
    assert len(segments) == len(expected) > 3
    left_out = 0
    for drawn, line in zip(segments, expected):
        line = line.astype(np.float64) / 100 + [3, -1]
        # A line is drawn by its ends and turns: its vertices are its points in their order,
        # and each point left out lies on the segment between the kept ones around it.
        kept, start = [], 0
        for vertex in drawn:
            start += int(np.flatnonzero(np.hypot(*(line[start:] - vertex).T) < 1e-4)[0])
            kept.append(start)
        assert kept[0] == 0 and kept[-1] == len(line) - 1 and np.all(np.diff(kept) > 0)
        for a, b in zip(kept, kept[1:]):
            along, between = line[b] - line[a], line[a + 1:b] - line[a]
            across = along[0] * between[:, 1] - along[1] * between[:, 0]
            assert np.all(np.abs(across) <= 1e-4 * np.hypot(*along))
            assert np.all((between @ along >= 0) & (between @ along <= along @ along))
        left_out += len(line) - len(drawn)
    assert left_out > 0
    assert lines in ax.collections and lines.arrowheads in ax.collections
    figure.savefig(tmp_path / f"plot.{'png' if backend == 'agg' else 'svg'}", format=None)
    plt.close(figure)


def square_axes():
    figure = plt.figure(figsize=(4, 4), dpi=100)
    return figure, figure.add_axes([0.1, 0.1, 0.8, 0.8])  # 320 x 320 pixels


@pytest.mark.parametrize("scale,offset", [
    ((1 / 256, 1 / 256), (0, 0)),  # the same flow on axes 0..2
    ((1 / 256, 1 / 64), (0, 0)),  # a data unit gets 4 times the pixels along x as along y
    ((4, 1), (0, 0)),
])
def test_streamplot_lines_lie_alike_on_the_screen_for_any_axes(scale, offset):
    # Each vertex on axes whose data are scaled (by powers of two, exactly) and moved is the
    # 0..512 one scaled and moved: the lines follow the flow as the screen shows it, whatever
    # units the axes have.
    x, y, u, v = vortex()
    figure, ax = square_axes()
    near = vortana.mpl.streamplot(ax, x, y, u, v, d_sep=16, arrowheads=False).get_segments()
    plt.close(figure)
    figure, ax = square_axes()
    (sx, sy), (ox, oy) = scale, offset
    far = vortana.mpl.streamplot(ax, x * sx + ox, y * sy + oy, u * sx, v * sy, d_sep=16,
                                 arrowheads=False).get_segments()
    plt.close(figure)
    assert len(near) == len(far) > 3
    for a, b in zip(near, far):
        assert np.allclose((b - [ox, oy]) / [sx, sy], a, atol=1e-2)


@pytest.mark.parametrize("options", [{}, {"delta_t": 10}])
def test_streamplot_shortcuts_keep_the_picture(options):
    # A field of 1500 x 1500 nodes on 320 pixels: subsampling the nodes, with streamplot's larger
    # steps or the engine's default, must leave about the lines that the full field at the
    # default steps gives (the same spacing: the same count and length along the lines).
    x = np.linspace(-1, 1, 1500)
    gx, gy = np.meshgrid(x, x)
    u, v = -gy * 1e-4, gx * 1e-4 + 2e-5
    figure, ax = square_axes()
    full = vortana.mpl.streamplot(ax, x, y=x, u=u, v=v, d_sep=20, subsample=False,
                                  delta_t=10).get_segments()
    plt.close(figure)
    figure, ax = square_axes()
    quick = vortana.mpl.streamplot(ax, x, x, u, v, d_sep=20, **options).get_segments()
    plt.close(figure)
    assert len(full) > 5 and abs(len(quick) - len(full)) <= 0.1 * len(full)
    length = [sum(np.hypot(*np.diff(line, axis=0).T).sum() for line in lines)
              for lines in (quick, full)]
    assert abs(length[0] - length[1]) <= 0.1 * length[1]
