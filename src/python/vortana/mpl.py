"""Evenly spaced streamlines on matplotlib axes, placed by Vortana's engine."""

import numpy as np
from matplotlib.collections import LineCollection, PolyCollection

from . import Field

# The drawing area's side in pixels, where the engine places streamlines.
AREA_PIXELS = 512
# d_sep's range in drawing pixels (vortana-render's --d-sep).
D_SEP_RANGE = (10, 50)


def _axis(name, values, along):
    array = np.asarray(values, dtype=np.float64)
    if array.ndim == 2:  # a meshgrid: the axis runs along one of its directions
        array = array[0, :] if along == 1 else array[:, 0]
    if array.ndim != 1:
        raise ValueError(f"{name} must be a 1-D axis or a 2-D meshgrid; it has shape "
                         f"{np.shape(values)}")
    return array


def _d_sep_for(ax, spacing):
    """d_sep in drawing pixels for `spacing` points between lines on `ax`. The default spacing
    looks like streamplot's density 1, which parts the axes into 30 x 30 cells."""
    box = ax.get_window_extent()
    axes_pixels = max((box.width + box.height) / 2, 1.0)
    if spacing is None:
        spacing_pixels = axes_pixels / 30
    else:
        spacing_pixels = spacing * ax.figure.dpi / 72
    d_sep = int(round(spacing_pixels * AREA_PIXELS / axes_pixels))
    return min(max(d_sep, D_SEP_RANGE[0]), D_SEP_RANGE[1])


def _arrowheads(ax, lines, field, size_points, color):
    """A small triangle at the middle of each line, pointing downstream, sized in points."""
    kept = [(world, data) for world, data in lines if len(data) >= 3]
    if not kept:
        heads = PolyCollection([], facecolors=color, edgecolors="none")
        ax.add_collection(heads)
        return heads
    middles = [len(data) // 2 for _, data in kept]
    # A line's points run either way along the flow: the velocity at its middle says which.
    downstream = np.empty(len(kept))
    for k, ((world, _), i) in enumerate(zip(kept, middles)):
        u, v, _ = field.velocity_at(float(world[i, 0]), float(world[i, 1]))
        step = world[i + 1] - world[i - 1]
        downstream[k] = 1.0 if step[0] * u + step[1] * v >= 0 else -1.0
    around = np.array([data[[i - 1, i, i + 1]] for (_, data), i in zip(kept, middles)])
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
    triangles = ax.transData.inverted().transform(corners.reshape(-1, 2)).reshape(-1, 3, 2)
    heads = PolyCollection(triangles, facecolors=color, edgecolors="none")
    ax.add_collection(heads)
    return heads


def streamplot(ax, x, y, u, v, *, spacing=None, color=None, linewidth=1, arrowheads=True,
               integrator="rk2", **options):
    """Draws evenly spaced streamlines of the field (x, y, u, v) on `ax` as one LineCollection,
    in data coordinates, and returns it (its `arrowheads` attribute holds the heads' collection,
    or None).

    x and y are 1-D axes (or meshgrids), u and v arrays of shape (len(y), len(x)). `spacing` is
    the distance between lines in points, for the axes' size at the figure's dpi; by default the
    lines lie about as densely as streamplot's at density 1. Further keyword arguments are those
    of vortana.Field.render (d_sep, d_test, delta_t, ... in drawing pixels of the 512 x 512 area).
    """
    xs, ys = _axis("x", x, 1), _axis("y", y, 0)
    # The engine draws from world 0 to its maximum over 512 pixels, a world unit a pixel; the
    # field is moved and stretched to fill that area and every point is brought back. The
    # velocities stretch with it, so that the lines keep their shapes.
    x0, y0 = xs.min(), ys.min()
    sx = AREA_PIXELS / max(xs.max() - x0, np.finfo(np.float64).tiny)
    sy = AREA_PIXELS / max(ys.max() - y0, np.finfo(np.float64).tiny)
    u = np.asarray(u, dtype=np.float64) * sx
    v = np.asarray(v, dtype=np.float64) * sy
    field = Field((xs - x0) * sx, (ys - y0) * sy, u, v)

    settings = {"evenly_spaced": True, "integrator": integrator,
                "d_sep": _d_sep_for(ax, spacing)}
    settings["d_test"] = max(1, settings["d_sep"] // 2)
    settings.update(options)
    world = field.streamlines(**settings)
    lines = [(w, np.column_stack([w[:, 0] / sx + x0, w[:, 1] / sy + y0])) for w in world]

    if color is None:
        color = ax._get_lines.get_next_color()
    collection = LineCollection([data for _, data in lines], colors=color,
                                linewidths=linewidth)
    ax.add_collection(collection)
    ax.update_datalim([(xs.min(), ys.min()), (xs.max(), ys.max())])
    ax.autoscale_view()
    collection.arrowheads = None
    if arrowheads:
        collection.arrowheads = _arrowheads(ax, lines, field, 4 * linewidth + 2, color)
    return collection
