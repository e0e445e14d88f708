#include "support/recording_canvas.h"

namespace vortana::testing {

using Kind = CanvasCall::Kind;

std::vector<CanvasCall> RecordingCanvas::CallsOf(Kind kind) const {
  std::vector<CanvasCall> found;
  for (const CanvasCall& call : calls_) {
    if (call.kind == kind) found.push_back(call);
  }
  return found;
}

void RecordingCanvas::SelectPen(Colour c) {
  pen_ = c;
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::Pen;
  call.colour = c;
}

void RecordingCanvas::MoveTo(int x, int y) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::MoveTo;
  call.numbers = {x, y, 0, 0};
}

void RecordingCanvas::LineTo(int x, int y) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::LineTo;
  call.numbers = {x, y, 0, 0};
}

void RecordingCanvas::Polyline(const std::array<PixelPoint, 3>& points) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::Polyline;
  call.points = points;
}

void RecordingCanvas::FillSolidRect(int x, int y, int w, int h, Colour c) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::Rect;
  call.colour = c;
  call.numbers = {x, y, w, h};
}

void RecordingCanvas::SetPixel(int x, int y, Colour c) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::Pixel;
  call.colour = c;
  call.numbers = {x, y, 0, 0};
}

void RecordingCanvas::PixelChain(std::span<const PixelPoint> chain, Colour colour) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::Chain;
  call.colour = colour;
  call.chain.assign(chain.begin(), chain.end());
}

void RecordingCanvas::Arrow(const ArrowGlyph& glyph) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::Arrow;
  call.glyph = glyph;
}

void RecordingCanvas::Image(const Colour* pixels, int width, int height) {
  CanvasCall& call = calls_.emplace_back();
  call.kind = Kind::Image;
  call.numbers = {width, height, 0, 0};
  call.image.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
}

void RecordingCanvas::ReplayAsPrimitives(Canvas& target) const {
  for (const CanvasCall& call : calls_) {
    const auto& [x, y, w, h] = call.numbers;
    switch (call.kind) {
      case Kind::Pen:
        target.SelectPen(call.colour);
        break;
      case Kind::MoveTo:
        target.MoveTo(x, y);
        break;
      case Kind::LineTo:
        target.LineTo(x, y);
        break;
      case Kind::Polyline:
        target.Polyline(call.points);
        break;
      case Kind::Rect:
        target.FillSolidRect(x, y, w, h, call.colour);
        break;
      case Kind::Pixel:
        target.SetPixel(x, y, call.colour);
        break;
      case Kind::Chain:
        for (const PixelPoint& p : call.chain) target.SetPixel(p.x, p.y, call.colour);
        break;
      case Kind::Arrow:
        target.MoveTo(call.glyph.tail.x, call.glyph.tail.y);
        target.LineTo(call.glyph.tip.x, call.glyph.tip.y);
        target.Polyline(call.glyph.head);
        break;
      case Kind::Image:
        for (int row = 0; row < y; ++row) {
          for (int column = 0; column < x; ++column) {
            target.SetPixel(column, row, call.image[static_cast<size_t>(row) * x + column]);
          }
        }
        break;
    }
  }
}

}  // namespace vortana::testing
