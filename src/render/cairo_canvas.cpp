#include "cairo_canvas.h"

#include <cstdint>
#include <cstring>

#include "arrowheads.h"
#include "chain_corners.h"

namespace vortana {

namespace {

void PathTo(cairo_t* cairo, PixelPoint p) { cairo_line_to(cairo, p.x + 0.5, p.y + 0.5); }
void PathFrom(cairo_t* cairo, PixelPoint p) { cairo_move_to(cairo, p.x + 0.5, p.y + 0.5); }

}  // namespace

void SetCairoColour(cairo_t* cairo, Colour colour) {
  cairo_set_source_rgb(cairo, RedOf(colour) / 255.0, GreenOf(colour) / 255.0,
                       BlueOf(colour) / 255.0);
}

cairo_surface_t* CairoImageOf(const Colour* pixels, int width, int height) {
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) return image;
  cairo_surface_flush(image);
  unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    const Colour* from = pixels + static_cast<size_t>(y) * width;
    // cairo's RGB24 is 0x00RRGGBB in the machine's own order; a COLORREF is 0x00BBGGRR.
    for (int x = 0; x < width; ++x) {
      row[x] = (static_cast<uint32_t>(RedOf(from[x])) << 16) |
               (static_cast<uint32_t>(GreenOf(from[x])) << 8) | static_cast<uint32_t>(BlueOf(from[x]));
    }
  }
  cairo_surface_mark_dirty(image);
  return image;
}

CairoCanvas::CairoCanvas(cairo_t* cairo, int width, int height, double lineWidth,
                         Contents contents)
    : cairo_(cairo), width_(width), height_(height), lineWidth_(lineWidth), contents_(contents) {
  cairo_set_line_width(cairo_, lineWidth_);
  // Round ends, so that a one-pixel chain still shows as a dot and corners stay closed.
  cairo_set_line_cap(cairo_, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cairo_, CAIRO_LINE_JOIN_ROUND);
}

void CairoCanvas::UseColour(Colour colour) {
  if (source_ == colour) return;
  SetCairoColour(cairo_, colour);
  source_ = colour;
}

void CairoCanvas::Stroke(Colour colour) {
  if (contents_ == Contents::Arrowheads) {
    cairo_new_path(cairo_);
    return;
  }
  UseColour(colour);
  cairo_stroke(cairo_);
}

void CairoCanvas::LineTo(int x, int y) {
  PathFrom(cairo_, current_);
  PathTo(cairo_, {x, y});
  Stroke(pen_);
  current_ = {x, y};
}

void CairoCanvas::Polyline(const std::array<PixelPoint, 3>& points) {
  PathFrom(cairo_, points[0]);
  PathTo(cairo_, points[1]);
  PathTo(cairo_, points[2]);
  Stroke(pen_);
}

void CairoCanvas::FillSolidRect(int x, int y, int w, int h, Colour c) {
  if (contents_ != Contents::Everything || w <= 0 || h <= 0) return;
  UseColour(c);
  cairo_rectangle(cairo_, x, y, w, h);
  cairo_fill(cairo_);
}

void CairoCanvas::SetPixel(int x, int y, Colour c) { FillSolidRect(x, y, 1, 1, c); }

void CairoCanvas::PixelChain(std::span<const PixelPoint> chain, Colour colour) {
  if (chain.empty()) return;
  // Every point handed to cairo costs it a transformation, a place in its recording and a check
  // on replay, so it gets the corners only.
  const int corners = ForEachCorner(chain, [this, first = true](PixelPoint p) mutable {
    first ? PathFrom(cairo_, p) : PathTo(cairo_, p);
    first = false;
  });
  // A single pixel is a path of no length, which the round ends draw as a dot.
  if (corners == 1) PathTo(cairo_, chain.front());
  Stroke(colour);
  if (!arrowheads_) return;
  UseColour(colour);
  for (const ArrowheadShape& head : ArrowheadsAlong(chain, lineWidth_)) {
    cairo_move_to(cairo_, head[0].x, head[0].y);
    cairo_line_to(cairo_, head[1].x, head[1].y);
    cairo_line_to(cairo_, head[2].x, head[2].y);
    cairo_close_path(cairo_);
  }
  // A line's heads as one fill, which costs cairo's PDF a fraction of one fill each. Every head
  // is the same triangle turned and moved, so all wind the same way, and where two overlap on a
  // tight spiral the non-zero rule still fills them.
  cairo_fill(cairo_);
}

void CairoCanvas::Arrow(const ArrowGlyph& glyph) {
  PathFrom(cairo_, glyph.tail);
  PathTo(cairo_, glyph.tip);
  PathFrom(cairo_, glyph.head[0]);
  PathTo(cairo_, glyph.head[1]);
  PathTo(cairo_, glyph.head[2]);
  Stroke(pen_);
  current_ = glyph.tip;
}

void CairoCanvas::Image(const Colour* pixels, int width, int height) {
  if (contents_ != Contents::Everything || width <= 0 || height <= 0) return;
  cairo_surface_t* image = CairoImageOf(pixels, width, height);
  cairo_save(cairo_);
  cairo_set_source_surface(cairo_, image, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cairo_), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cairo_, 0, 0, width, height);
  cairo_fill(cairo_);
  cairo_restore(cairo_);
  cairo_surface_destroy(image);
}

}  // namespace vortana
