#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "path_canvas.h"

namespace vortana {

/// The Canvas as SVG elements appended to a string, with the geometry CairoCanvas gives cairo:
/// every line through the centres of the pixels the raster Surface sets, (x + 0.5, y + 0.5),
/// round caps and joins, one path per streamline and per arrow, filled arrowheads, an image as
/// one PNG drawn without smoothing. cairo's own SVG writer formats every number through printf
/// and encodes images with its own PNG writer at its default compression: a picture of a
/// thousand streamlines took it some seven times as long as the PNG of the same picture, this
/// canvas less than twice as long. cairo keeps the text (colour bar, axes), which needs its fonts.
///
/// Coordinates are the canvas's pixels; the caller places the elements (a group's transform).
class SvgCanvas final : public PathCanvas {
 public:
  SvgCanvas(std::string& out, int width, int height, double lineWidth, PngEncoder encodePng);

  void LineTo(int x, int y) override;
  void Polyline(const std::array<PixelPoint, 3>& points) override;
  void FillSolidRect(int x, int y, int w, int h, Colour c) override;
  void SetPixel(int x, int y, Colour c) override;
  void PixelChain(std::span<const PixelPoint> chain, Colour colour) override;
  void Arrow(const ArrowGlyph& glyph) override;
  void Image(const Colour* pixels, int width, int height) override;

 private:
  void StartPath(Colour colour, bool filled);
  void PathPoint(char command, double x, double y);
  void Centre(char command, PixelPoint p) { PathPoint(command, p.x + 0.5, p.y + 0.5); }
  void EndPath();
  void Number(double value);
  void Rgb(Colour colour);

  std::string& out_;
};

/// `bytes` in base64 (RFC 4648, with padding, no line breaks), appended to `out`.
void AppendBase64(std::span<const uint8_t> bytes, std::string& out);

}  // namespace vortana
