#include "svg_canvas.h"

#include <charconv>

#include "arrowheads.h"
#include "chain_corners.h"

namespace vortana {

SvgCanvas::SvgCanvas(std::string& out, int width, int height, double lineWidth,
                     PngEncoder encodePng)
    : PathCanvas(width, height, lineWidth, encodePng), out_(out) {}

void SvgCanvas::Number(double value) {
  char text[32];
  // The shortest text that reads back to the value: pixel centres come out as "12.5".
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  out_.append(text, ec == std::errc() ? end : text);
}

void SvgCanvas::Rgb(Colour colour) {
  Number(RedOf(colour));
  out_ += ',';
  Number(GreenOf(colour));
  out_ += ',';
  Number(BlueOf(colour));
}

void SvgCanvas::StartPath(Colour colour, bool filled) {
  out_ += filled ? "<path style=\"stroke:none;fill:rgb(" : "<path style=\"fill:none;stroke-width:";
  if (!filled) {
    Number(lineWidth_);
    out_ += ";stroke-linecap:round;stroke-linejoin:round;stroke:rgb(";
  }
  Rgb(colour);
  out_ += ")\" d=\"";
}

void SvgCanvas::PathPoint(char command, double x, double y) {
  out_ += command;
  out_ += ' ';
  Number(x);
  out_ += ' ';
  Number(y);
  out_ += ' ';
}

void SvgCanvas::EndPath() { out_ += "\"/>\n"; }

void SvgCanvas::LineTo(int x, int y) {
  StartPath(pen_, false);
  Centre('M', current_);
  Centre('L', {x, y});
  EndPath();
  current_ = {x, y};
}

void SvgCanvas::Polyline(const std::array<PixelPoint, 3>& points) {
  StartPath(pen_, false);
  Centre('M', points[0]);
  Centre('L', points[1]);
  Centre('L', points[2]);
  EndPath();
}

void SvgCanvas::FillSolidRect(int x, int y, int w, int h, Colour c) {
  if (w <= 0 || h <= 0) return;
  out_ += "<rect x=\"";
  Number(x);
  out_ += "\" y=\"";
  Number(y);
  out_ += "\" width=\"";
  Number(w);
  out_ += "\" height=\"";
  Number(h);
  out_ += "\" style=\"stroke:none;fill:rgb(";
  Rgb(c);
  out_ += ")\"/>\n";
}

void SvgCanvas::SetPixel(int x, int y, Colour c) { FillSolidRect(x, y, 1, 1, c); }

void SvgCanvas::PixelChain(std::span<const PixelPoint> chain, Colour colour) {
  if (chain.empty()) return;
  StartPath(colour, false);
  const int corners = ForEachCorner(chain, [this, first = true](PixelPoint p) mutable {
    Centre(first ? 'M' : 'L', p);
    first = false;
  });
  // A single pixel is a path of no length, which the round ends draw as a dot.
  if (corners == 1) Centre('L', chain.front());
  EndPath();
  if (!arrowheads_) return;
  for (const ArrowheadShape& head : ArrowheadsAlong(chain, lineWidth_)) {
    StartPath(colour, true);
    PathPoint('M', head[0].x, head[0].y);
    PathPoint('L', head[1].x, head[1].y);
    PathPoint('L', head[2].x, head[2].y);
    out_ += 'Z';
    EndPath();
  }
}

void SvgCanvas::Arrow(const ArrowGlyph& glyph) {
  StartPath(pen_, false);
  Centre('M', glyph.tail);
  Centre('L', glyph.tip);
  Centre('M', glyph.head[0]);
  Centre('L', glyph.head[1]);
  Centre('L', glyph.head[2]);
  EndPath();
  current_ = glyph.tip;
}

void SvgCanvas::Image(const Colour* pixels, int width, int height) {
  if (width <= 0 || height <= 0 || !error_.empty()) return;
  std::vector<uint8_t> png;
  error_ = encodePng_(pixels, width, height, png);
  if (!error_.empty()) return;
  // The pixels are data, so a viewer is asked to keep them squares when zooming in rather than
  // smooth them (SVG 1.1's attribute, and the CSS value that current browsers honour).
  out_ += "<image width=\"";
  Number(width);
  out_ += "\" height=\"";
  Number(height);
  out_ += "\" image-rendering=\"optimizeSpeed\" style=\"image-rendering:pixelated\" "
          "xlink:href=\"data:image/png;base64,";
  AppendBase64(png, out_);
  out_ += "\"/>\n";
}

void AppendBase64(std::span<const uint8_t> bytes, std::string& out) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 63];
    out += kDigits[(group >> 6) & 63];
    out += kDigits[group & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const uint32_t group = (uint32_t{bytes[i]} << 16) | (two ? uint32_t{bytes[i + 1]} << 8 : 0);
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 63];
    out += two ? kDigits[(group >> 6) & 63] : '=';
    out += '=';
  }
}

}  // namespace vortana
