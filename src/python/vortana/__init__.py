"""Vortana from Python: flow fields as NumPy arrays or files, drawn by Vortana's engine.

Every option of vortana-render is a keyword argument of the drawing methods, with the same name in
snake case (``--grid-size 20`` is ``grid_size=20``, the flag ``--evenly-spaced`` is
``evenly_spaced=True``), the same default and the same range. A value out of range raises a
ValueError that names the argument and its range.
"""

import json
import re

import numpy as np

from . import _vortana

__all__ = ["Field", "LoadError", "load"]

# Options the methods set themselves: the outputs, and the help.
_RESERVED = {"output": "save(path)", "dump": "describe()", "help": "help(vortana)"}


def _known_options():
    return set(re.findall(r"--([a-z][a-z0-9-]*)", _vortana.usage())) - {"help"}


_OPTIONS = _known_options()


def _keyword(option_name):
    return option_name.replace("-", "_")


def _arguments(options):
    """The command line of vortana-render that keyword arguments stand for."""
    args = []
    for key, value in options.items():
        option = key.replace("_", "-")
        if key in _RESERVED:
            raise TypeError(f"{key} is not an argument here; use {_RESERVED[key]}")
        if option not in _OPTIONS:
            raise TypeError(f"unexpected keyword argument '{key}'")
        if value is None or value is False:
            continue  # an option left out: its default, or a flag off
        if value is True:
            args.append("--" + option)
        elif key == "probe":
            for x, y in np.atleast_2d(np.asarray(value)).tolist():
                args += ["--probe", f"{x},{y}"]
        else:
            args += ["--" + option, str(value)]
    return args


def _usage_error(text):
    # The program names options as on its command line; here they are keyword arguments.
    return ValueError(re.sub(r"--([a-z][a-z0-9-]*)", lambda m: _keyword(m.group(1)), text))


def _float_array(name, values, ndim, copy=False):
    array = np.asarray(values)
    if array.dtype.kind not in "fiu":
        raise ValueError(f"{name} must hold numbers, not {array.dtype}")
    if array.ndim != ndim:
        want = "a 1-D axis" if ndim == 1 else "a 2-D array (len(y), len(x))"
        raise ValueError(f"{name} must be {want}; it has shape {array.shape}")
    if copy:
        return np.array(array, dtype=np.float32, order="C", copy=True)
    return np.ascontiguousarray(array, dtype=np.float32)


def _field_arrays(x, y, u, v, w=None, pressure=None, vorticity=None, copy=False):
    """x, y, u, v, w, pressure and vorticity as the engine takes them (C-ordered float32, None
    where not given), their kinds and shapes checked; with `copy`, copies in any case."""
    axes = [_float_array("x", x, 1, copy), _float_array("y", y, 1, copy)]
    shape = (axes[1].size, axes[0].size)
    components = []
    for name, values in (("u", u), ("v", v), ("w", w), ("pressure", pressure),
                         ("vorticity", vorticity)):
        if values is None:
            components.append(None)
            continue
        array = _float_array(name, values, 2, copy)
        if array.shape != shape:
            raise ValueError(f"{name} has shape {array.shape}; with len(y) = {shape[0]} and "
                             f"len(x) = {shape[1]} it must be {shape}")
        components.append(array)
    return axes + components


def _start_on_arrays(x, y, u, v, options, step_scale=1.0):
    """Starts a run of the dialog with `options` on the field of x, y, u and v (as Field takes
    them), which is built on the run's thread too: its wait() gives the run. The arrays are
    copied first, since the caller may change them meanwhile."""
    arrays = _field_arrays(x, y, u, v, copy=True)[:4]
    return _Started(_vortana.start_on_arrays(*arrays, _arguments(options), step_scale))


class _Started:
    """A run of the dialog going on on another thread."""

    def __init__(self, outcome):
        _raise_refusal(outcome)
        self._pending = outcome

    def wait(self):
        """The run, once it is done; a ValueError for a field the dialog cannot draw."""
        outcome = self._pending.wait()
        _raise_refusal(outcome)
        return outcome


def _raise_refusal(outcome):
    if isinstance(outcome, tuple):
        kind, text = outcome
        if kind == "usage":
            raise _usage_error(text)
        raise ValueError(text)


class LoadError(OSError):
    """A data set that cannot be used: `filename` is the file at fault, the message says why."""

    def __str__(self):
        return self.strerror


class Field:
    """A 2-D flow field: velocities on a rectilinear grid, with optional pressure and vorticity.

    ``Field(x, y, u, v)`` takes the axes as 1-D arrays (rising or falling, at least 2 values
    each) and the components as 2-D arrays of shape ``(len(y), len(x))``: row j, column i holds
    the node at ``(x[i], y[j])``, as NumPy's meshgrid and matplotlib lay them out. Any float or
    integer dtype, C or Fortran order; NaN is allowed in the components.
    """

    def __init__(self, x, y, u, v, w=None, pressure=None, vorticity=None):
        made = _vortana.from_arrays(*_field_arrays(x, y, u, v, w, pressure, vorticity),
                                    name="arrays")
        if isinstance(made, str):
            raise ValueError(made)
        self._init(made, 1)

    @classmethod
    def _wrap(cls, engine, steps):
        field = cls.__new__(cls)
        field._init(engine, steps)
        return field

    def _init(self, engine, steps, slice=0):
        self._engine = engine
        self._stats = engine.statistics()
        self.steps = steps
        self.slice = slice

    def __repr__(self):
        return (f"<vortana.Field {self.width} x {self.height} x {self.depth} from "
                f"{self._engine.name!r}>")

    # The statistics the dialog shows and works with.
    size = property(lambda self: self._stats["size"], doc="node count")
    width = property(lambda self: self._stats["width"], doc="nodes along x")
    height = property(lambda self: self._stats["height"], doc="nodes along y")
    depth = property(lambda self: self._stats["depth"], doc="slices")
    scalar_count = property(lambda self: self._stats["scalar_count"])
    min_x = property(lambda self: self._stats["min_x"])
    min_y = property(lambda self: self._stats["min_y"])
    max_x = property(lambda self: self._stats["max_x"])
    max_y = property(lambda self: self._stats["max_y"])
    max_speed = property(lambda self: self._stats["max_speed"], doc="largest |(u, v, w)|")
    min_pressure = property(lambda self: self._stats["min_scalar0"])
    max_pressure = property(lambda self: self._stats["max_scalar0"])
    min_vorticity = property(lambda self: self._stats["min_scalar1"])
    max_vorticity = property(lambda self: self._stats["max_scalar1"])

    @property
    def statistics(self):
        """Every statistic as a dict, under the engine's names."""
        return dict(self._stats)

    @property
    def warnings(self):
        """What vortana-render warns about this field."""
        return self._engine.warnings()

    def arrays(self):
        """The slice loaded as float32 arrays of shape (height, width): x, y, u, v, w, pressure,
        vorticity, with both axes rising."""
        return self._engine.arrays()

    def velocity_at(self, x, y):
        """The velocity (u, v, w) the streamlines sample at world point (x, y)."""
        return self._engine.velocity_at(x, y)

    def _run(self, options):
        """The run of the dialog with `options`, once it is done."""
        args = _arguments(options)
        if self.slice:
            args = ["--slice", str(self.slice)] + args
        return _Started(self._engine.start(args)).wait()

    def render(self, **options):
        """The picture vortana-render writes as PNG, as an H x W x 3 uint8 array."""
        return self._run(options).picture()

    def describe(self, **options):
        """The JSON description of vortana-render (--dump), as a dict."""
        return json.loads(self._run(options).description())

    def streamlines(self, **options):
        """The stored streamlines in stored order, each an N x 2 float32 array of world x, y."""
        return self._run(options).streamlines()

    def arrows(self, **options):
        """The stored arrows: a structured array with the drawing pixel (px, py), the world
        point (x, y) and the vector (u, v, w) each shows. Needs plot="arrows"."""
        pixels, values = self._run(options).arrows()
        records = np.zeros(len(pixels), dtype=[("px", "i4"), ("py", "i4"), ("x", "f4"),
                                               ("y", "f4"), ("u", "f4"), ("v", "f4"),
                                               ("w", "f4")])
        records["px"], records["py"] = pixels[:, 0], pixels[:, 1]
        for k, name in enumerate(("x", "y", "u", "v", "w")):
            records[name] = values[:, k]
        return records

    def save(self, path, **options):
        """Writes the picture to `path` as vortana-render's -o does."""
        error = self._run(options).save(str(path))
        if error:
            raise OSError(error)


def load(path, step=0, slice=0):
    """Opens a data set in any format the programs open (.gri / .00000.dat pair, .npz, NetCDF,
    VTK) at time step `step` and slice `slice` (0 to depth - 1; the colours and scales stay
    those of all slices). Raises OSError naming the file and the reason when it cannot be
    used."""
    for name, value in (("step", step), ("slice", slice)):
        if isinstance(value, bool) or not isinstance(value, (int, np.integer)) or value < 0:
            raise ValueError(f"{name}: expected an integer at least 0, got {value!r}")
    outcome = _vortana.load(str(path), int(step))
    if len(outcome) == 2:
        failing, message = outcome
        raise LoadError(None, message, failing)
    engine, steps, _notice = outcome
    if slice and not engine.sample_slice(int(slice)):
        depth = engine.statistics()["depth"]
        raise ValueError(f"slice: expected an integer between 0 and {depth - 1}, got {slice} "
                         f"({path} has {depth} slice{'s' if depth != 1 else ''})")
    field = Field._wrap(engine, steps)
    field.slice = int(slice)
    return field
