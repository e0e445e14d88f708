#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "canvas.h"
#include "colour.h"
#include "pixel_point.h"

namespace vortana {

/// An in-memory raster of COLORREF pixels, row-major, origin top-left, y downward: the raster
/// Canvas, with the six drawing operations the dialog draws with. Lines follow the classic convention: a line
/// from A to B sets A and every pixel up to B, but not B itself. Pixels off the surface are
/// clipped; nothing else is checked, so callers may pass any coordinates.
///
/// A line from A to B and the line from B to A set the same pixels apart from their ends: each
/// step along the longer axis sets the pixel nearest the ideal line, a half rounding towards the
/// larger coordinate. A line that starts on its end point sets nothing.
class Surface final : public Canvas {
 public:
  Surface(int width, int height);  // all black; a negative size counts as 0

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  Colour Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Colour* Data() const { return pixels_.data(); }
  Colour* Data() { return pixels_.data(); }

  void SetPixel(int x, int y, Colour c) override;
  void SelectPen(Colour c) override { pen_ = c; }
  Colour Pen() const override { return pen_; }
  void MoveTo(int x, int y) override { current_ = {x, y}; }
  void LineTo(int x, int y) override;
  void Polyline(const std::array<PixelPoint, 3>& points) override;
  void FillSolidRect(int x, int y, int w, int h, Colour c) override;
  void PixelChain(std::span<const PixelPoint> chain, Colour colour) override;
  void Arrow(const ArrowGlyph& glyph) override;
  /// Copies the rows and columns that lie on the surface; one copy when the sizes agree.
  void Image(const Colour* pixels, int width, int height) override;
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
