#pragma once

namespace vortana {

/// The one place where drawing-area pixels and world coordinates meet.
/// Pixel (px, py) stands for the world point (px * scaleX, py * scaleY), each product rounded to
/// float; pixel (0, 0) is the world origin whatever the field's minimum, and world y grows
/// downward with the pixel row. scaleX = max x / width and scaleY = max y / height, as floats.
struct PixelMap {
  float scaleX = 0.0f;
  float scaleY = 0.0f;
  int width = 512;
  int height = 512;

  float WorldXOfPixel(int px) const { return static_cast<float>(px * static_cast<double>(scaleX)); }
  float WorldYOfPixel(int py) const { return static_cast<float>(py * static_cast<double>(scaleY)); }
  /// Fractional pixel coordinates of a world point, each quotient rounded to float.
  float PixelXOfWorld(float wx) const { return static_cast<float>(static_cast<double>(wx) / scaleX); }
  float PixelYOfWorld(float wy) const { return static_cast<float>(static_cast<double>(wy) / scaleY); }
  /// Half-open test on fractional pixel coordinates: -0.5 is outside although it would truncate
  /// to 0; a value that is not finite is outside too (and so never reaches an integer conversion).
  bool InsideFractional(float fx, float fy) const {
    return fx >= 0.0f && fx < static_cast<float>(width) && fy >= 0.0f &&
           fy < static_cast<float>(height);
  }
};

}  // namespace vortana
