#pragma once

#include <array>
#include <span>
#include <vector>

#include "render/canvas.h"

namespace vortana::testing {

/// One call made on a canvas, with what it carried.
struct CanvasCall {
  enum class Kind { Pen, MoveTo, LineTo, Polyline, Rect, Pixel, Chain, Arrow, Image };
  Kind kind = Kind::Pen;
  Colour colour = kBlack;                 // Pen, Rect, Pixel, Chain
  std::array<int, 4> numbers{};           // x, y (MoveTo, LineTo, Pixel); x, y, w, h (Rect)
  std::array<PixelPoint, 3> points{};     // Polyline
  std::vector<PixelPoint> chain;          // Chain
  ArrowGlyph glyph{};                     // Arrow
  std::vector<Colour> image;              // Image, `numbers` holding its width and height
};

/// A canvas that keeps every call, as a vector canvas sees them, and can replay them onto another
/// canvas through the primitive operations alone: a chain as single pixels, an arrow as MoveTo,
/// LineTo and Polyline, an image as single pixels.
class RecordingCanvas final : public Canvas {
 public:
  RecordingCanvas(int width, int height) : width_(width), height_(height) {}

  const std::vector<CanvasCall>& Calls() const { return calls_; }
  /// The calls of one kind, in order.
  std::vector<CanvasCall> CallsOf(CanvasCall::Kind kind) const;
  void ReplayAsPrimitives(Canvas& target) const;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SelectPen(Colour c) override;
  Colour Pen() const override { return pen_; }
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Polyline(const std::array<PixelPoint, 3>& points) override;
  void FillSolidRect(int x, int y, int w, int h, Colour c) override;
  void SetPixel(int x, int y, Colour c) override;
  void PixelChain(std::span<const PixelPoint> chain, Colour colour) override;
  void Arrow(const ArrowGlyph& glyph) override;
  void Image(const Colour* pixels, int width, int height) override;

 private:
  int width_;
  int height_;
  Colour pen_ = kBlack;
  std::vector<CanvasCall> calls_;
};

}  // namespace vortana::testing
