#pragma once

#include <cairo.h>

#include <optional>

#include "canvas.h"

namespace vortana {

/// The Canvas as cairo paths, for vector pictures (SVG, PDF) and for what a raster picture draws
/// wider than one pixel. Every line runs through the centres of the pixels the raster Surface
/// sets, (x + 0.5, y + 0.5), so the two pictures lie exactly over each other; a streamline and
/// an arrow are one path each. An image is painted whole, pixel for pixel, without smoothing.
///
/// The canvas draws in the cairo context's user space as it finds it (the caller places the
/// drawing area with a translation). It sets the line width, caps and joins on the context when
/// made and the colours as it draws, rather than saving and restoring the context round every
/// path (a picture has thousands); the caller saves and restores round the canvas's use.
class CairoCanvas final : public Canvas {
 public:
  /// What the canvas draws of what it is given. Lines leaves images out and Arrowheads draws
  /// only the heads: for drawing over a raster that already holds the rest.
  enum class Contents { Everything, Lines, Arrowheads };

  CairoCanvas(cairo_t* cairo, int width, int height, double lineWidth,
              Contents contents = Contents::Everything);

  /// Streamlines drawn from now on get filled arrowheads pointing downstream.
  void SetArrowheads(bool on) { arrowheads_ = on; }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SelectPen(Colour c) override { pen_ = c; }
  Colour Pen() const override { return pen_; }
  void MoveTo(int x, int y) override { current_ = {x, y}; }
  void LineTo(int x, int y) override;
  void Polyline(const std::array<PixelPoint, 3>& points) override;
  void FillSolidRect(int x, int y, int w, int h, Colour c) override;
  void SetPixel(int x, int y, Colour c) override;
  void PixelChain(std::span<const PixelPoint> chain, Colour colour) override;
  void Arrow(const ArrowGlyph& glyph) override;
  void Image(const Colour* pixels, int width, int height) override;

 private:
  void Stroke(Colour colour);
  void UseColour(Colour colour);

  cairo_t* cairo_;
  int width_;
  int height_;
  double lineWidth_;
  Contents contents_;
  bool arrowheads_ = false;
  Colour pen_ = kBlack;
  PixelPoint current_;
  std::optional<Colour> source_;  // the context's source, when it is this solid colour
};

/// Sets `colour` (a COLORREF) as cairo's source.
void SetCairoColour(cairo_t* cairo, Colour colour);

/// `pixels` (COLORREF, row-major) as a cairo RGB24 image; the caller destroys it.
cairo_surface_t* CairoImageOf(const Colour* pixels, int width, int height);

}  // namespace vortana
