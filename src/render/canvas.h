#pragma once

#include <array>
#include <span>

#include "colour.h"
#include "pixel_point.h"

namespace vortana {

/// The integer points an arrow is drawn with: the shaft from `tail` to `tip`, then the head as a
/// polyline through head[0], head[1] (the tip), head[2].
struct ArrowGlyph {
  PixelPoint tail;
  PixelPoint tip;
  std::array<PixelPoint, 3> head;
  friend constexpr bool operator==(const ArrowGlyph&, const ArrowGlyph&) = default;
};

/// What the pictures are drawn on. The raster Surface is one realisation; a vector canvas draws
/// the same geometry as paths. So the operations carry whole shapes where the pictures have them
/// (a streamline's chain, an arrow glyph, the background image): a vector canvas makes one path
/// of each, and a raster one loops over their pixels without a call per pixel.
///
/// Coordinates are pixels of the canvas, origin top-left, y downward. Lines follow the classic
/// convention: a line from A to B sets A and the pixels up to B, but not B itself. Whatever lies
/// off the canvas is clipped; any coordinates may be passed.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  /// Selects a solid pen one pixel wide; lines, polylines and arrows draw with it.
  virtual void SelectPen(Colour c) = 0;
  virtual Colour Pen() const = 0;
  virtual void MoveTo(int x, int y) = 0;
  virtual void LineTo(int x, int y) = 0;
  /// Two connected segments, first to second to third point; the last point is not set. A
  /// polyline neither uses nor moves the MoveTo position.
  virtual void Polyline(const std::array<PixelPoint, 3>& points) = 0;
  /// Columns x .. x + w - 1 of rows y .. y + h - 1; a width or height of 0 or less fills nothing.
  virtual void FillSolidRect(int x, int y, int w, int h, Colour c) = 0;
  virtual void SetPixel(int x, int y, Colour c) = 0;

  /// Sets every pixel of the chain in `colour`, in order: one streamline.
  virtual void PixelChain(std::span<const PixelPoint> chain, Colour colour) = 0;
  /// One arrow with the selected pen: the shaft as MoveTo(tail), LineTo(tip) (which leaves the
  /// MoveTo position at the tip), then the head as a Polyline.
  virtual void Arrow(const ArrowGlyph& glyph) = 0;
  /// An image `width` x `height` of colours, row-major, placed at the canvas's top-left corner.
  virtual void Image(const Colour* pixels, int width, int height) = 0;

 protected:
  Canvas() = default;
  Canvas(const Canvas&) = default;
  Canvas& operator=(const Canvas&) = default;
};

}  // namespace vortana
