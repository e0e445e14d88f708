#pragma once

#include "grid_point.h"

// Bilinear interpolation in one cell of slice 0, shared by every sampler of the field.

namespace vortana {

/// The area of the cell whose lower corner is `cell` (its row above lies `width` nodes on), as
/// the interpolation divides by it: the product of the differences in double, rounded once.
/// A cell of zero width or height has area 0, and its interpolation is then not finite.
[[gnu::always_inline]] inline float CellArea(const GridPoint* cell, int width) {
  const double x0 = cell[0].position.x;
  const double x1 = cell[1].position.x;
  const double y0 = cell[0].position.y;
  const double y1 = cell[width].position.y;
  return static_cast<float>((y1 - y0) * (x1 - x0));
}

/// The velocity at (x, y) interpolated between the four nodes of the cell whose lower corner is
/// `cell`, divided by `area` (CellArea of that cell). `Velocity` is the set of components
/// interpolated: Vec3 for all three, Vec2 for x and y alone, each component worked out by the
/// same operations in the same order, so Vec2's are Vec3's x and y bit for bit.
template <typename Velocity>
[[gnu::always_inline]] inline Velocity InterpolateInCell(const GridPoint* cell, int width, float x,
                                                         float y, float area) {
  const GridPoint& n00 = cell[0];
  const GridPoint& n10 = cell[1];
  const GridPoint& n01 = cell[width];
  const GridPoint& n11 = cell[width + 1];
  const float x0 = n00.position.x;
  const float x1 = n10.position.x;
  const float y0 = n00.position.y;
  const float y1 = n01.position.y;

  // Each difference and weight is one operation on two floats. Done in double and rounded to
  // float it comes out as the float operation itself, bit for bit (double carries more than
  // twice float's precision and two bits more, and its range holds every product of floats),
  // so it is written as the float operation, without the conversions on the way.
  const float dx0 = x - x0;
  const float dx1 = x1 - x;
  const float dy0 = y - y0;
  const float dy1 = y1 - y;

  const float w00 = dy1 * dx1;
  const float w10 = dy1 * dx0;
  const float w01 = dy0 * dx1;
  const float w11 = dy0 * dx0;

  Velocity lowerRow = Velocity(n00.velocity) * w00;
  lowerRow += Velocity(n10.velocity) * w10;
  Velocity upperRow = Velocity(n01.velocity) * w01;
  upperRow += Velocity(n11.velocity) * w11;
  lowerRow += upperRow;
  return lowerRow /= area;
}

}  // namespace vortana
