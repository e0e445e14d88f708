#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "colour.h"
#include "pixel_point.h"

namespace vortana {

/// An in-memory raster of COLORREF pixels, row-major, origin top-left, y downward, that offers
/// the six drawing operations the dialog draws with. Lines follow the classic convention: a line
/// from A to B sets A and every pixel up to B, but not B itself. Pixels off the surface are
/// clipped; nothing else is checked, so callers may pass any coordinates.
///
/// A line from A to B and the line from B to A set the same pixels apart from their ends: each
/// step along the longer axis sets the pixel nearest the ideal line, a half rounding towards the
/// larger coordinate. A line that starts on its end point sets nothing.
class Surface {
 public:
  Surface(int width, int height);  // all black; a negative size counts as 0

  int Width() const { return width_; }
  int Height() const { return height_; }
  Colour Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Colour* Data() const { return pixels_.data(); }
  Colour* Data() { return pixels_.data(); }

  void SetPixel(int x, int y, Colour c);
  /// Selects a solid pen one pixel wide; lines and polylines draw with it.
  void SelectPen(Colour c) { pen_ = c; }
  Colour Pen() const { return pen_; }
  void MoveTo(int x, int y) { current_ = {x, y}; }
  void LineTo(int x, int y);
  /// Two connected segments, first to second to third point; the last point is not set. Like the
  /// platform's, a polyline neither uses nor moves the MoveTo position.
  void Polyline(const std::array<PixelPoint, 3>& points);
  /// Columns x .. x + w - 1 of rows y .. y + h - 1; a width or height of 0 or less fills nothing.
  void FillSolidRect(int x, int y, int w, int h, Colour c);
  /// Every pixel to c (used to start a headless picture black).
  void Fill(Colour c);

 private:
  void DrawSegment(PixelPoint from, PixelPoint to);

  int width_;
  int height_;
  std::vector<Colour> pixels_;
  Colour pen_ = kBlack;
  PixelPoint current_;
};

}  // namespace vortana
