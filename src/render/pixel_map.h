#pragma once

namespace vortana {

/// The one place where drawing-area pixels and world coordinates meet; every picture, probe,
/// readout and placement converts through it.
///
/// With y down, pixel (px, py) stands for the world point (x0 + px * scaleX, y0 + py * scaleY),
/// computed in double and rounded once to float, so that with x0 = y0 = 0 each coordinate is
/// exactly the product px * scaleX rounded to float, as it always was. With y up the rows are
/// mirrored: row py stands for the world y that row height - 1 - py stands for with y down, so a
/// picture of the same field under the two directions is the same picture flipped, pixel for
/// pixel. Fractional pixel coordinates follow the same affine map, so a pixel's own world point
/// lies at its integer coordinates in either direction, and truncating a fractional coordinate
/// gives its pixel.
struct PixelMap {
  float scaleX = 0.0f;  // world units per pixel, as floats
  float scaleY = 0.0f;
  int width = 512;
  int height = 512;
  float x0 = 0.0f;  // the world point of pixel column 0
  float y0 = 0.0f;  // the world point of the row at the top (y down) or at the bottom (y up)
  bool yUp = false;

  /// World coordinates of a fractional pixel coordinate.
  float WorldXOfFractionalPixel(double fx) const {
    return static_cast<float>(static_cast<double>(x0) + fx * static_cast<double>(scaleX));
  }
  float WorldYOfFractionalPixel(double fy) const {
    return static_cast<float>(static_cast<double>(y0) + RowsFromOrigin(fy) *
                                                            static_cast<double>(scaleY));
  }
  float WorldXOfPixel(int px) const { return WorldXOfFractionalPixel(px); }
  float WorldYOfPixel(int py) const { return WorldYOfFractionalPixel(py); }

  /// Fractional pixel coordinates of a world point, each rounded to float once.
  float PixelXOfWorld(float wx) const {
    return static_cast<float>((static_cast<double>(wx) - x0) / scaleX);
  }
  float PixelYOfWorld(float wy) const {
    const double rows = (static_cast<double>(wy) - y0) / scaleY;
    return static_cast<float>(yUp ? (height - 1) - rows : rows);
  }

  /// A world velocity component in pixels per unit of time: the pixel coordinate changes at this
  /// rate when the world coordinate changes at the velocity's. With y up world y grows up the
  /// screen, so the pixel row runs the other way.
  float PixelVelocityX(float u) const { return static_cast<float>(u / static_cast<double>(scaleX)); }
  float PixelVelocityY(float v) const {
    const double rate = v / static_cast<double>(scaleY);
    return static_cast<float>(yUp ? -rate : rate);
  }

  /// Half-open test on fractional pixel coordinates: -0.5 is outside although it would truncate
  /// to 0; a value that is not finite is outside too (and so never reaches an integer conversion).
  bool InsideFractional(float fx, float fy) const {
    return fx >= 0.0f && fx < static_cast<float>(width) && fy >= 0.0f &&
           fy < static_cast<float>(height);
  }

 private:
  /// How many rows of scaleY a fractional row lies from the row that stands for y0.
  double RowsFromOrigin(double fy) const { return yUp ? (height - 1) - fy : fy; }
};

}  // namespace vortana
