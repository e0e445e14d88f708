"""Peer: VTK's vtkEvenlySpacedStreamlines2D on a Vortana data set, timing Update() alone.

usage: vtk_evenly.py DATASET [--d-sep PX] [--d-test PX] [--reps N]

Spacings are given in pixels of a 512-pixel picture of the whole domain, as Vortana's d_sep and
d_test are: SeparatingDistance = d_sep/512 of the domain width in length units, and
SeparatingDistanceRatio = d_test/d_sep. The integrator is VTK's second-order Runge-Kutta, seeded
at the centre. The filter's occupancy index fails (index -1) when the data start at 0, so the
grid is shifted by one domain width for VTK only; that changes no velocity.
"""

import argparse

import numpy as np
import vtk
from vtk.util import numpy_support

import flowfiles

AREA_PIXELS = 512


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dataset")
    parser.add_argument("--d-sep", type=float, default=10.0)
    parser.add_argument("--d-test", type=float, default=5.0)
    parser.add_argument("--reps", type=int, default=3)
    args = parser.parse_args()

    field = flowfiles.read_pair(args.dataset)
    x, y = field["x"], field["y"]
    width_world = x[-1] - x[0]
    height_world = y[-1] - y[0]
    cell = width_world / (field["width"] - 1)

    image = vtk.vtkImageData()
    image.SetDimensions(field["width"], field["height"], 1)
    # The shift that keeps the filter's occupancy index at 0 or above.
    image.SetOrigin(x[0] + width_world, y[0] + height_world, 0.0)
    image.SetSpacing(cell, height_world / (field["height"] - 1), 1.0)
    velocity = np.stack([field["u"], field["v"], field["w"]], axis=-1).reshape(-1, 3)
    array = numpy_support.numpy_to_vtk(np.ascontiguousarray(velocity), deep=1)
    array.SetName("velocity")
    image.GetPointData().SetVectors(array)

    tracer = vtk.vtkEvenlySpacedStreamlines2D()
    tracer.SetInputData(image)
    tracer.SetInputArrayToProcess(0, 0, 0, vtk.vtkDataObject.FIELD_ASSOCIATION_POINTS, "velocity")
    tracer.SetStartPosition(x[0] + 1.5 * width_world, y[0] + 1.5 * height_world, 0.0)
    tracer.SetIntegratorTypeToRungeKutta2()
    tracer.SetIntegrationStepUnit(vtk.vtkStreamTracer.LENGTH_UNIT)
    # VTK's own defaults (half a cell per step, loops closed within half a cell), in length units.
    tracer.SetInitialIntegrationStep(0.5 * cell)
    tracer.SetClosedLoopMaximumDistance(0.5 * cell)
    tracer.SetMaximumNumberOfSteps(20000)
    tracer.SetSeparatingDistance(args.d_sep / AREA_PIXELS * width_world)
    tracer.SetSeparatingDistanceRatio(args.d_test / args.d_sep)
    tracer.SetComputeVorticity(False)

    def run():
        tracer.Modified()
        start = flowfiles.clock()
        tracer.Update()
        return flowfiles.clock() - start

    ms = flowfiles.median_ms(args.reps, run)
    output = tracer.GetOutput()
    print(f"ms {ms:.3f} lines {output.GetNumberOfLines()} points {output.GetNumberOfPoints()}"
          f" length_px {line_length(output) / width_world * AREA_PIXELS:.0f}"
          f" shift {width_world:g},{height_world:g}")


def line_length(polydata):
    """Total length of the polylines, in world units."""
    points = numpy_support.vtk_to_numpy(polydata.GetPoints().GetData())
    cells = numpy_support.vtk_to_numpy(polydata.GetLines().GetConnectivityArray())
    offsets = numpy_support.vtk_to_numpy(polydata.GetLines().GetOffsetsArray())
    total = 0.0
    for begin, end in zip(offsets[:-1], offsets[1:]):
        line = points[cells[begin:end]]
        total += float(np.sum(np.linalg.norm(np.diff(line, axis=0), axis=1)))
    return total


if __name__ == "__main__":
    main()
