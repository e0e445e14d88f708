"""Evenly spaced streamlines on matplotlib axes, placed by Vortana's engine."""

import numpy as np
from matplotlib.collections import LineCollection, PathCollection
from matplotlib.path import Path

from . import _start_on_arrays

# The drawing area's size in pixels (vortana-render's --size) and d_sep's range in them (--d-sep).
SIZE_RANGE = (64, 8192)
D_SEP_RANGE = (10, 50)
# delta_t's range, in hundredths of a pixel a step, and the step in pixels taken without one:
# the lines come out as at the engine's steps of a tenth of a pixel (steps of half a pixel
# already break a tight vortex's circles into a fifth more lines).
DELTA_T_RANGE = (1, 20)
STEP_PIXELS = 0.4
# Axes whose pixels per data unit differ by less than this share along x and y count as equal.
ASPECT_TOLERANCE = 0.01


def _axis(name, values, along):
    array = np.asarray(values, dtype=np.float64)
    if array.ndim == 2:  # a meshgrid: the axis runs along one of its directions
        array = array[0, :] if along == 1 else array[:, 0]
    if array.ndim != 1:
        raise ValueError(f"{name} must be a 1-D axis or a 2-D meshgrid; it has shape "
                         f"{np.shape(values)}")
    return array


def _nodes_for(count, pixels):
    """The nodes kept along an axis of `count` nodes over `pixels` pixels: every k-th, k the
    whole number of node intervals a pixel spans (at least 1), and always the last, so that the
    data's window stays whole. A slice where every k-th node ends on the last (an array's view,
    not a copy), the indices otherwise."""
    k = max(1, int((count - 1) // max(pixels, 1.0)))
    if (count - 1) % k == 0:
        return slice(None, None, k)
    return np.append(np.arange(0, count, k), count - 1)


def _nodes_of(values, rows, columns):
    """The nodes of a 2-D array at `rows` and `columns` (slices or indices, as _nodes_for
    gives them)."""
    values = np.asarray(values)
    if isinstance(rows, slice) and isinstance(columns, slice):
        return values[rows, columns]
    along = [np.arange(n)[kept] for n, kept in zip(values.shape, (rows, columns))]
    return values[np.ix_(*along)]


def _clamp(value, bounds):
    return min(max(int(round(value)), bounds[0]), bounds[1])


def _d_sep_for(axes_pixels, dpi, spacing):
    """d_sep in drawing pixels, which are the axes' pixels, for `spacing` points between lines.
    The default spacing looks like streamplot's density 1, which parts the axes into 30 x 30
    cells."""
    spacing_pixels = sum(axes_pixels) / 2 / 30 if spacing is None else spacing * dpi / 72
    return _clamp(spacing_pixels, D_SEP_RANGE)


def _arrowhead_path(ax, points, middles, velocities, size_points):
    """A small triangle at the middle point of each line, pointing downstream, sized in points,
    all in one path (one path to build and draw, not one per head); None without heads.
    `middles` index the middle points, in `points`, of the lines with three points or more;
    `velocities` are the field's there."""
    if not len(middles):
        return None
    around = points[np.stack([middles - 1, middles, middles + 1], axis=1)]
    # A line's points run either way along the flow: the velocity at its middle says which.
    step = around[:, 2] - around[:, 0]
    downstream = np.where((step * velocities).sum(axis=1) >= 0, 1.0, -1.0)
    display = ax.transData.transform(around.reshape(-1, 2)).reshape(-1, 3, 2)
    direction = (display[:, 2] - display[:, 0]) * downstream[:, None]
    length = np.hypot(direction[:, 0], direction[:, 1])
    usable = length > 0
    d = direction[usable] / length[usable, None]
    n = np.column_stack([-d[:, 1], d[:, 0]])
    size = size_points * ax.figure.dpi / 72
    tip = display[usable, 1] + d * size / 2
    base = tip - d * size
    corners = np.stack([tip, base + n * size / 2.5, base - n * size / 2.5], axis=1)
    triangles = ax.transData.inverted().transform(corners.reshape(-1, 2))
    codes = np.tile(np.array([Path.MOVETO, Path.LINETO, Path.LINETO], dtype=Path.code_type),
                    len(corners))
    return Path(triangles, codes)


def _paths_of(segments):
    """Paths of `segments`, each an N x 2 float64 array as the engine hands them out.
    matplotlib checks and copies every segment through Path's constructor, which takes a large
    part of a drawing with hundreds of lines; its fast constructor skips what these arrays need
    not, where this matplotlib has it."""
    fast = getattr(Path, "_fast_from_codes_and_verts", None)
    if fast is None:
        return [Path(segment) for segment in segments]
    return [fast(segment, None) for segment in segments]


class _Placement:
    """A streamplot's placement, running on another thread, and what fills its collections
    once it is done: `fill(run)` at the first look at either."""

    def __init__(self, started, fill):
        self._started = started
        self._fill = fill

    def settle(self):
        if self._fill is None:
            return
        fill, self._fill = self._fill, None  # once, even when the wait raises
        fill(self._started.wait())


class _Placed:
    """A collection whose paths a placement still running gives: every look at them waits for
    it. A figure's drawing lays out its axes, ticks and labels before it draws the
    collections, so that the lines are placed meanwhile."""

    _placement = None

    def _settle(self):
        placement, self._placement = self._placement, None
        if placement is not None:
            placement.settle()

    def get_paths(self):
        self._settle()
        return super().get_paths()

    def set_paths(self, *args, **kwargs):
        self._settle()  # what the placement gives would replace these paths
        return super().set_paths(*args, **kwargs)

    # draw() reads the paths through get_paths(), as every other look does.


class StreamlineCollection(_Placed, LineCollection):
    """The LineCollection vortana.mpl.streamplot returns: its segments are the streamlines."""

    def get_segments(self):
        self._settle()
        return super().get_segments()

    def set_segments(self, segments):
        self._settle()
        return super().set_segments(segments)

    set_verts = set_segments


class _ArrowheadCollection(_Placed, PathCollection):
    pass


def streamplot(ax, x, y, u, v, *, spacing=None, color=None, linewidth=1, arrowheads=True,
               integrator="rk2", subsample=True, **options):
    """Draws evenly spaced streamlines of the field (x, y, u, v) on `ax` as one LineCollection,
    in data coordinates, and returns it (its `arrowheads` attribute holds the heads' collection,
    or None). The lines are placed on another thread: the call returns at once, and the first
    look at the lines (the figure's drawing, get_segments(), ...) waits for them; Ctrl+C there
    stops the placement and leaves the collections empty.

    x and y are 1-D axes (or meshgrids), u and v arrays of shape (len(y), len(x)). `spacing` is
    the distance between lines in points, for the axes' size at the figure's dpi; by default the
    lines lie about as densely as streamplot's at density 1. Further keyword arguments are those
    of vortana.Field.render (d_sep, d_test, ... in pixels of the axes). Without delta_t the
    lines are traced in steps of two fifths of a pixel of the axes: they lie as at the
    engine's default steps of a tenth, in about a quarter of the time; delta_t (1 to 20) asks
    for steps of delta_t hundredths of a pixel instead. Each line's vertices are its points at
    its ends and where it turns (a straight run of pixels is one segment).

    With `subsample` a field with more nodes than the axes have pixels is drawn from about one
    node a pixel (every k-th node, and the last): the lines are drawn in pixels, and reading
    the finer grid costs time without changing what can show.
    """
    xs, ys = _axis("x", x, 1), _axis("y", y, 0)
    box = ax.get_window_extent()
    pixels = (max(box.width, 1.0), max(box.height, 1.0))
    # (Arrays of another shape go on whole, to the checks that say what is wrong with them.)
    if subsample and np.shape(u) == np.shape(v) == (len(ys), len(xs)):
        columns, rows = _nodes_for(len(xs), pixels[0]), _nodes_for(len(ys), pixels[1])
        if len(xs[columns]) < len(xs) or len(ys[rows]) < len(ys):
            xs, ys = xs[columns], ys[rows]
            u, v = _nodes_of(u, rows, columns), _nodes_of(v, rows, columns)
    # The engine draws the data's own window, y up, on an area of the axes' size whose pixels
    # are square in world units. Axes that give a data unit more pixels along y than along x
    # (or fewer) see the field with y and v stretched by that share, so that the lines lie
    # evenly on the screen; their points are brought back.
    spans = [max(np.ptp(a), np.finfo(np.float64).tiny) for a in (xs, ys)]
    stretch = (pixels[1] / spans[1]) / (pixels[0] / spans[0])
    if abs(stretch - 1) < ASPECT_TOLERANCE:
        stretch = 1.0
        arrays = (xs, ys, u, v)
    else:
        arrays = (xs, ys * stretch, u, np.asarray(v, dtype=np.float64) * stretch)

    d_sep = _d_sep_for(pixels, ax.figure.dpi, spacing)
    settings = {"evenly_spaced": True, "integrator": integrator, "d_sep": d_sep,
                "d_test": max(1, d_sep // 2), "size": _clamp(max(pixels), SIZE_RANGE),
                "aspect": "equal", "view": "data", "y_axis": "up", "step_units": "pixels",
                "delta_t": DELTA_T_RANGE[1]}
    # Steps beyond delta_t's range, unless the caller chose a delta_t.
    step_scale = 1.0 if "delta_t" in options else STEP_PIXELS / (DELTA_T_RANGE[1] / 100)
    settings.update(options)
    # The field is built and its lines placed on another thread meanwhile (see _Placed).
    started = _start_on_arrays(*arrays, settings, step_scale)

    if color is None:
        color = ax._get_lines.get_next_color()
    collection = StreamlineCollection([], colors=color, linewidths=linewidth)
    # The lines lie inside the data's limits: those are the limits, without a look at each line.
    ax.add_collection(collection, autolim=False)
    ax.update_datalim([(xs.min(), ys.min()), (xs.max(), ys.max())])
    ax.autoscale_view()
    collection.arrowheads = None
    if arrowheads:
        # Over the lines, as matplotlib's streamplot draws its arrows (and after the axes' ticks
        # and grid, which gives the placement their time).
        collection.arrowheads = _ArrowheadCollection([], facecolors=color, edgecolors="none",
                                                     zorder=collection.get_zorder())
        ax.add_collection(collection.arrowheads, autolim=False)  # inside the data's limits

    def fill(run):
        # The lines keep their ends and turns (the same lines in a quarter of the points); the
        # arrowheads are placed along every point.
        corners, corner_counts = run.streamline_points(turns_only=True)
        corners[:, 1] /= stretch
        # Views of the points, a line each (np.split does the same at five times the cost).
        ends = np.cumsum(corner_counts).tolist()
        collection._paths = _paths_of(corners[start:end]
                                      for start, end in zip([0] + ends[:-1], ends))
        if arrowheads:
            points, counts = run.streamline_points()
            long_enough = counts >= 3
            middles = (np.cumsum(counts) - counts + counts // 2)[long_enough]
            # The field's velocities at the engine's own (stretched) points, then both brought
            # back.
            velocities = run.velocities(points[middles]) if len(middles) else np.zeros((0, 2))
            velocities[:, 1] /= stretch
            points[:, 1] /= stretch
            heads = _arrowhead_path(ax, points, middles, velocities, 4 * linewidth + 2)
            collection.arrowheads._paths = [] if heads is None else [heads]

    placement = _Placement(started, fill)
    collection._placement = placement
    if arrowheads:
        collection.arrowheads._placement = placement
    return collection
