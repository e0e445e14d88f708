#!/usr/bin/env python3
"""Writes the NetCDF seeds in fuzz/seeds/netcdf: small files in each format and layout the
reader meets (classic, 64-bit offset, NetCDF-4; time and level dimensions; falling latitude;
packed shorts with fill values; CF standard names; a 2-D coordinate; mismatched shapes). Needs
Debian's python3-netcdf4 and python3-numpy. Run it again after changing a case; the seeds are
committed.
"""

import os

import netCDF4
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "seeds", "netcdf")


def write(name, fmt, build):
    path = os.path.join(OUT, name)
    with netCDF4.Dataset(path, "w", format=fmt) as ds:
        build(ds)


def plain(ds, nx=4, ny=3, time=0, lev=0, u="u", v="v", dtype="f4"):
    dims = []
    if time:
        ds.createDimension("time", None)
        t = ds.createVariable("time", "f8", ("time",))
        t.axis = "T"
        t[:] = np.arange(time)
        dims.append("time")
    if lev:
        ds.createDimension("lev", lev)
        ds.createVariable("lev", "f4", ("lev",))[:] = np.linspace(1000, 500, lev)
        dims.append("lev")
    ds.createDimension("y", ny)
    ds.createDimension("x", nx)
    ds.createVariable("x", "f4", ("x",))[:] = np.arange(nx, dtype="f4") * 0.5
    ds.createVariable("y", "f4", ("y",))[:] = np.arange(ny, dtype="f4") + 10
    dims += ["y", "x"]
    shape = [ds.dimensions[d].size if d != "time" else time for d in dims]
    values = np.arange(np.prod(shape), dtype="f4").reshape(shape)
    ds.createVariable(u, dtype, dims)[:] = values
    ds.createVariable(v, dtype, dims)[:] = -values
    ds.createVariable("pressure", "f4", dims)[:] = values * 2
    return dims


def falling_latitude(ds):
    ds.createDimension("lat", 3)
    ds.createDimension("lon", 4)
    lat = ds.createVariable("lat", "f4", ("lat",))
    lat.standard_name = "latitude"
    lat[:] = [30, 0, -30]
    lon = ds.createVariable("lon", "f8", ("lon",))
    lon.standard_name = "longitude"
    lon[:] = [0, 90, 180, 270]
    for name, sn in (("east", "eastward_wind"), ("north", "northward_wind")):
        var = ds.createVariable(name, "f4", ("lat", "lon"))
        var.standard_name = sn
        var[:] = np.ones((3, 4))


def packed(ds):
    ds.createDimension("y", 3)
    ds.createDimension("x", 4)
    ds.createVariable("x", "f4", ("x",))[:] = [0, 1, 2, 3]
    ds.createVariable("y", "f4", ("y",))[:] = [0, 1, 2]
    for name in ("U", "V"):
        var = ds.createVariable(name, "i2", ("y", "x"), fill_value=-32767)
        var.scale_factor = 0.5
        var.add_offset = 1.0
        var.set_auto_maskandscale(False)
        var[:] = np.array([[-32767, 1, 2, 3], [4, 5, 6, 7], [8, 9, 10, -32767]], dtype="i2")


def curvilinear(ds):
    ds.createDimension("j", 3)
    ds.createDimension("i", 4)
    lon = ds.createVariable("lon", "f4", ("j", "i"))
    lon.standard_name = "longitude"
    lon[:] = np.ones((3, 4))
    ds.createVariable("ua", "f4", ("j", "i"))[:] = np.ones((3, 4))
    ds.createVariable("va", "f4", ("j", "i"))[:] = np.ones((3, 4))


def mismatched(ds):
    ds.createDimension("y", 3)
    ds.createDimension("x", 4)
    ds.createDimension("x2", 5)
    ds.createVariable("u", "f4", ("y", "x"))[:] = np.ones((3, 4))
    ds.createVariable("v", "f4", ("y", "x2"))[:] = np.ones((3, 5))


def main():
    os.makedirs(OUT, exist_ok=True)
    write("classic.nc", "NETCDF3_CLASSIC", plain)
    write("offset64.nc", "NETCDF3_64BIT_OFFSET", lambda ds: plain(ds, u="ua", v="va"))
    write("cdf5.nc", "NETCDF3_64BIT_DATA", lambda ds: plain(ds, dtype="f8"))
    write("netcdf4.nc", "NETCDF4", plain)
    write("netcdf4-classic.nc", "NETCDF4_CLASSIC", lambda ds: plain(ds, time=2))
    write("time-levels.nc", "NETCDF3_CLASSIC", lambda ds: plain(ds, time=3, lev=2))
    write("falling-latitude.nc", "NETCDF4", falling_latitude)
    write("packed.nc", "NETCDF3_CLASSIC", packed)
    write("curvilinear.nc", "NETCDF3_CLASSIC", curvilinear)
    write("mismatched.nc", "NETCDF3_CLASSIC", mismatched)


if __name__ == "__main__":
    main()
