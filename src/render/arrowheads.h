#pragma once

#include <array>
#include <span>
#include <vector>

#include "pixel_point.h"

namespace vortana {

/// A point of a picture in canvas pixels, fractional: (x + 0.5, y + 0.5) is the centre of pixel
/// (x, y).
struct PicturePoint {
  double x = 0.0;
  double y = 0.0;
};

/// A filled triangle: the tip first, then the two corners of its base.
using ArrowheadShape = std::array<PicturePoint, 3>;

/// Streamlines shorter than this (in pixels of line through the pixel centres) get no heads.
inline constexpr double kArrowheadMinLine = 20.0;
/// Heads sit at the middle of the line and at every this many pixels of line from it.
inline constexpr double kArrowheadSpacing = 100.0;

/// The length of a head for lines `lineWidth` pixels wide: three widths, at least 5 pixels.
double ArrowheadLength(double lineWidth);

/// The heads along a streamline whose chain runs downstream (a Streamline's order), pointing
/// downstream, centred on the line through the pixel centres. A head's direction is the chord
/// of the line over the head's own length, so that a pixel staircase does not tilt it.
std::vector<ArrowheadShape> ArrowheadsAlong(std::span<const PixelPoint> chain, double lineWidth);

}  // namespace vortana
