#!/usr/bin/env python3
"""Writes the analytic test flow, and broken variants of it, as NumPy .npz archives (through
numpy itself) and VTK XML .vti/.vtr files (by hand, from the file format's description), into
the folder given. flow_formats_test.cpp writes the same flow as a file pair and compares.

Node (column c, row r, slice s) of step t, every value computed in float64 in this order:
  x = -1 + 0.25 c     y = 2 + 0.5 r     z = 0.5 s
  u = 0.1 c + 0.01 r + 0.001 t + 0.0001 s
  v = 0.3 r - 0.2 c - t
  w = 0.05 c * r
  pressure = 1 / (1 + c + r)
  vorticity = 0.7 c - 0.3 r + 0.11 t
"""
import base64
import re
import struct
import sys
import zlib
from pathlib import Path

import numpy as np

W, H, T = 5, 4, 3


def flow(depth=1, steps=1):
    s, r, c = np.meshgrid(np.arange(depth, dtype=np.float64), np.arange(H, dtype=np.float64),
                          np.arange(W, dtype=np.float64), indexing="ij")
    fields = []
    for t in range(steps):
        fields.append({
            "u": 0.1 * c + 0.01 * r + 0.001 * t + 0.0001 * s,
            "v": 0.3 * r - 0.2 * c - t,
            "w": 0.05 * c * r,
            "pressure": 1.0 / (1.0 + c + r),
            "vorticity": 0.7 * c - 0.3 * r + 0.11 * t,
        })
    axes = {"x": -1.0 + 0.25 * np.arange(W), "y": 2.0 + 0.5 * np.arange(H),
            "z": 0.5 * np.arange(depth)}
    return axes, fields


def write_npz(out, name, compressed=False, dtype="<f8", fortran=False, steps=1, flip_x=False,
              meshgrid=False, drop=(), replace=None):
    axes, fields = flow(steps=steps)
    arrays = {}
    x, y = axes["x"], axes["y"]
    if meshgrid:
        x, y = np.meshgrid(x, y)
    arrays["x"], arrays["y"] = x, y
    for key in ("u", "v", "w", "pressure", "vorticity"):
        stack = np.stack([f[key][0] for f in fields]) if steps > 1 else fields[0][key][0]
        arrays[key] = stack
    if flip_x:
        arrays["x"] = arrays["x"][..., ::-1]
        for key in ("u", "v", "w", "pressure", "vorticity"):
            arrays[key] = arrays[key][..., ::-1]
    for key in drop:
        del arrays[key]
    arrays.update(replace or {})
    converted = {}
    for key, value in arrays.items():
        value = np.asarray(value)
        if value.dtype.kind == "f":
            value = value.astype(dtype)
        converted[key] = np.asfortranarray(value) if fortran else np.ascontiguousarray(value)
    (np.savez_compressed if compressed else np.savez)(out / name, **converted)


def binary_payload(data, header_format, compress):
    if not compress:
        return struct.pack(header_format, len(data)), data
    block = 64  # small, so that an array spans several blocks and ends in a partial one
    pieces = [data[i:i + block] for i in range(0, len(data), block)]
    packed = [zlib.compress(p) for p in pieces]
    last = len(pieces[-1]) if len(pieces[-1]) < block else 0
    header = struct.pack(header_format[0] + header_format[1] * (3 + len(packed)),
                         len(packed), block, last, *[len(p) for p in packed])
    return header, b"".join(packed)


def write_vtk(out, name, kind="ImageData", fmt="ascii", vtk_type="Float32", header="UInt32",
              compress=False, big_endian=False, depth=1, joint_base64=False, flip_y=False,
              velocity_name="Velocity", active=True, extra_image_attributes="", scalars=True):
    axes, fields = flow(depth=depth)
    field = fields[0]
    order = ">" if big_endian else "<"
    numpy_type = {"Float32": "f4", "Float64": "f8", "Int32": "i4"}[vtk_type]
    header_format = order + ("Q" if header == "UInt64" else "I")
    ys = axes["y"]
    if flip_y:
        ys = ys[::-1]
        field = {k: v[:, ::-1, :] for k, v in field.items()}
    velocity = np.stack([field["u"], field["v"], field["w"]], axis=-1)
    arrays = [(velocity_name, 3, velocity)]
    if scalars:
        arrays += [("p", 1, field["pressure"]), ("vorticity", 1, field["vorticity"])]
    coordinates = [("x", 1, axes["x"]), ("y", 1, ys), ("z", 1, axes["z"])]

    appended = []
    offset = [0]

    def data_array(array_name, components, values):
        flat = np.asarray(values).astype(order + numpy_type).ravel()
        head = (f'<DataArray type="{vtk_type}" Name="{array_name}" '
                f'NumberOfComponents="{components}" format="{fmt}"')
        if fmt == "ascii":
            return head + ">\n" + " ".join(repr(v.item()) for v in flat) + "\n</DataArray>\n"
        size_words, data = binary_payload(flat.tobytes(), header_format, compress)
        if fmt == "binary":
            if joint_base64:
                text = base64.b64encode(size_words + data)
            else:
                text = base64.b64encode(size_words) + base64.b64encode(data)
            return head + ">\n" + text.decode() + "\n</DataArray>\n"
        if fmt == "appended-base64":
            piece = base64.b64encode(size_words) + base64.b64encode(data)
        else:
            piece = size_words + data
        head = head.replace('format="appended-base64"', 'format="appended"').replace(
            'format="appended-raw"', 'format="appended"')
        text = head + f' offset="{offset[0]}"/>\n'
        appended.append(piece)
        offset[0] += len(piece)
        return text

    x0, x1, y0, y1, z0, z1 = 0, W - 1, 0, H - 1, 0, depth - 1
    extent = f"{x0} {x1} {y0} {y1} {z0} {z1}"
    point_data = "".join(data_array(*a) for a in arrays)
    vectors = f' Vectors="{velocity_name}"' if active else ""
    if kind == "ImageData":
        opening = (f'<ImageData WholeExtent="{extent}" Origin="-1 2 0" Spacing="0.25 0.5 0.5"'
                   f'{extra_image_attributes}>\n')
        geometry = ""
    else:
        opening = f'<{kind} WholeExtent="{extent}">\n'
        geometry = ("<Coordinates>\n" + "".join(data_array(*c) for c in coordinates) +
                    "</Coordinates>\n")
    compressor = ' compressor="vtkZLibDataCompressor"' if compress else ""
    text = ('<?xml version="1.0"?>\n'
            f'<VTKFile type="{kind}" version="1.0" '
            f'byte_order="{"BigEndian" if big_endian else "LittleEndian"}" '
            f'header_type="{header}"{compressor}>\n' + opening +
            f'<Piece Extent="{extent}">\n<PointData{vectors}>\n' + point_data +
            "</PointData>\n<CellData>\n</CellData>\n" + geometry + "</Piece>\n" +
            f"</{kind}>\n")
    body = text.encode()
    if appended:
        encoding = "base64" if fmt == "appended-base64" else "raw"
        body += (f'<AppendedData encoding="{encoding}">\n   _'.encode() + b"".join(appended) +
                 b"\n</AppendedData>\n")
    body += b"</VTKFile>\n"
    (out / name).write_bytes(body)


def write_large(out):
    """Steps of a million nodes, which a reader takes in bands of rows: the same flow in C order
    (read in bands: stored, stored with y falling, compressed) and in Fortran order (read
    whole), two steps."""
    rows, columns = 1050, 1000
    x = np.linspace(-2.0, 3.0, columns)
    y = np.linspace(-1.0, 4.0, rows)
    t = np.arange(2.0)[:, None, None]
    u = np.sin(x)[None, None, :] * np.cos(y)[None, :, None] + t
    v = np.cos(3 * x)[None, None, :] - y[None, :, None] * t
    p = (x[None, None, :] + 2 * y[None, :, None]) * (t + 1)

    def arrays(falling, order):
        ys, us, vs, ps = (y[::-1], u[:, ::-1], v[:, ::-1], p[:, ::-1]) if falling else (y, u, v, p)
        return {"x": x, "y": ys, "u": order(us.astype("<f4")), "v": order(vs.astype("<f4")),
                "pressure": order(ps.astype(">f4"))}

    np.savez(out / "large-fortran.npz", **arrays(False, np.asfortranarray))
    np.savez(out / "large-rising.npz", **arrays(False, np.ascontiguousarray))
    np.savez(out / "large-falling.npz", **arrays(True, np.ascontiguousarray))
    np.savez_compressed(out / "large-compressed.npz", **arrays(False, np.ascontiguousarray))


def main():
    out = Path(sys.argv[1])
    if sys.argv[2:] == ["--large"]:
        write_large(out)
        return
    # The same flow in every form; each must give the pair's field.
    write_npz(out, "f64-c.npz")
    write_npz(out, "f32-c.npz", dtype="<f4")
    write_npz(out, "f64-fortran-compressed.npz", compressed=True, fortran=True)
    write_npz(out, "f32-big-endian-fortran.npz", dtype=">f4", fortran=True)
    write_npz(out, "f64-big-endian-compressed.npz", dtype=">f8", compressed=True)
    write_npz(out, "steps-c.npz", steps=T)
    write_npz(out, "steps-fortran-compressed.npz", steps=T, fortran=True, compressed=True)
    write_npz(out, "x-falling.npz", flip_x=True)
    write_npz(out, "meshgrid.npz", meshgrid=True, dtype="<f4")
    write_vtk(out, "ascii-f32.vti")
    write_vtk(out, "ascii-f64.vti", vtk_type="Float64")
    write_vtk(out, "binary-f32.vti", fmt="binary")
    write_vtk(out, "binary-joint-f64.vti", fmt="binary", vtk_type="Float64", joint_base64=True)
    write_vtk(out, "binary-zlib-uint64.vti", fmt="binary", compress=True, header="UInt64")
    write_vtk(out, "appended-raw-f32.vti", fmt="appended-raw")
    write_vtk(out, "appended-raw-big-endian-f64.vti", fmt="appended-raw", vtk_type="Float64",
              big_endian=True, header="UInt64")
    write_vtk(out, "appended-base64-f32.vti", fmt="appended-base64")
    write_vtk(out, "appended-zlib-f64.vti", fmt="appended-raw", compress=True, vtk_type="Float64")
    write_vtk(out, "appended-base64-zlib.vti", fmt="appended-base64", compress=True)
    write_vtk(out, "named-u-not-active.vti", velocity_name="U", active=False)
    # A byte before the first array puts every float off a 4-byte boundary.
    raw = (out / "appended-raw-f32.vti").read_bytes()
    raw = re.sub(rb'offset="(\d+)"', lambda m: b'offset="%d"' % (int(m.group(1)) + 1), raw)
    (out / "appended-raw-unaligned.vti").write_bytes(raw.replace(b"   _", b"   _\0", 1))
    write_vtk(out, "ascii.vtr", kind="RectilinearGrid", vtk_type="Float64")
    write_vtk(out, "appended-raw-y-falling.vtr", kind="RectilinearGrid", fmt="appended-raw",
              flip_y=True)
    write_vtk(out, "binary-zlib.vtr", kind="RectilinearGrid", fmt="binary", compress=True)
    write_vtk(out, "slices-appended-zlib.vti", fmt="appended-raw", compress=True, depth=2)
    write_vtk(out, "slices-ascii.vtr", kind="RectilinearGrid", depth=2)

    # What a field cannot be made of.
    write_npz(out, "no-u.npz", drop=("u",))
    axes, _ = flow()
    write_npz(out, "x-too-long.npz", replace={"x": -1.0 + 0.25 * np.arange(W + 1)})
    write_npz(out, "x-not-monotone.npz", replace={"x": np.array([0.0, 1.0, 3.0, 2.0, 4.0])})
    write_npz(out, "y-with-nan.npz", replace={"y": np.array([0.0, 1.0, np.nan, 2.0])})
    write_npz(out, "one-row.npz", replace={"u": np.zeros((1, W)), "v": np.zeros((1, W)),
                                          "y": np.zeros(1)}, drop=("w", "pressure", "vorticity"))
    write_npz(out, "v-other-shape.npz", replace={"v": np.zeros((H, W + 1))})
    write_npz(out, "integer-u.npz", replace={"u": np.zeros((H, W), dtype="<i4")})
    x2, y2 = np.meshgrid(axes["x"], axes["y"])
    write_npz(out, "curvilinear.npz", replace={"x": x2 + 0.01 * y2, "y": y2})
    write_npz(out, "u-vector.npz", replace={"u": np.zeros(W)})
    # u declares 30000 x 30000 values and holds 20: refused before anything that size exists.
    liar = np.lib.format.header_data_from_array_1_0(np.zeros((H, W)))
    liar["shape"] = (30000, 30000)
    path = out / "liar-u.npy"
    with open(path, "wb") as f:
        np.lib.format.write_array_header_1_0(f, liar)
        f.write(np.zeros(H * W).tobytes())
    import zipfile
    with zipfile.ZipFile(out / "u-claims-more.npz", "w") as z:
        z.write(path, "u.npy")
        for key in ("v", "x", "y"):
            z.writestr(key + ".npy", b"")
    (out / "not-a-zip.npz").write_bytes(b"PK\x03\x04 this is no archive")
    # One bit of u's last value flipped after the archive was written.
    damaged = bytearray((out / "f32-c.npz").read_bytes())
    damaged[damaged.index(b"v.npy") - 31] ^= 0x01
    (out / "u-damaged.npz").write_bytes(bytes(damaged))

    write_vtk(out, "rotated.vti", extra_image_attributes=' Direction="0 1 0 -1 0 0 0 0 1"')
    write_vtk(out, "no-velocity.vti", velocity_name="speed", active=False)
    write_vtk(out, "structured.vti", kind="StructuredGrid")
    text = (out / "ascii-f32.vti").read_text()
    (out / "one-row.vti").write_text(text.replace('WholeExtent="0 4 0 3 0 0"',
                                                  'WholeExtent="0 4 0 0 0 0"').replace(
                                     'Extent="0 4 0 3 0 0"', 'Extent="0 4 0 0 0 0"'))
    # The extent grows by a column; the arrays keep their values.
    (out / "short-ascii.vti").write_text(
        text.replace('Extent="0 4 0 3 0 0"', 'Extent="0 5 0 3 0 0"'))
    (out / "broken.vti").write_text(text[:len(text) // 2])
    raw = (out / "appended-raw-f32.vti").read_bytes()
    (out / "cut-appended.vti").write_bytes(raw[:raw.index(b"   _") + 30])
    # A zlib header that claims a huge image from a few bytes: refused before allocating.
    big = 30000
    words = struct.pack("<4Q", 1, big * big * 12, 0, 10)
    (out / "zlib-bomb.vti").write_bytes(
        ('<VTKFile type="ImageData" byte_order="LittleEndian" header_type="UInt64" '
         'compressor="vtkZLibDataCompressor">'
         f'<ImageData WholeExtent="0 {big - 1} 0 {big - 1} 0 0" Origin="0 0 0" Spacing="1 1 1">'
         f'<Piece Extent="0 {big - 1} 0 {big - 1} 0 0"><PointData Vectors="U">'
         '<DataArray type="Float32" Name="U" NumberOfComponents="3" format="appended" offset="0"/>'
         '</PointData></Piece></ImageData><AppendedData encoding="raw">_').encode() + words +
        zlib.compress(b"\0" * 64) + b"</AppendedData></VTKFile>")
    vtr = (out / "ascii.vtr").read_text()
    start = vtr.index('Name="x"')
    line_end = vtr.index("\n", vtr.index(">", start)) + 1
    values_end = vtr.index("\n", line_end)
    (out / "x-not-monotone.vtr").write_text(
        vtr[:line_end] + "0 1 3 2 4" + vtr[values_end:])


if __name__ == "__main__":
    main()
